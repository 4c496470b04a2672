#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# realnet_tests against Samba's own servers, each started here on
# 127.0.0.1 with its state under BUILD_DIR/samba-test. Root only: the domain
# controller takes ports 88, 445 and 135.
# - A standalone smbd on a port of its own, SMB3 with encryption and signing
#   required, NTLMv2 only: an administrator (Builtin Administrators mapped to
#   a Unix group), a plain user and a wrong password. The Unix accounts
#   (velmora-adm, velmora-usr, velmora-admins) are made once. A second smbd
#   that does not encrypt SMB shows, in a loopback capture, that privacy=seal
#   hides a marker service name that sign and none let through.
# - A throwaway AD domain controller (VELMORA.TEST) that refuses NTLM, named
#   velmora-dc in /etc/hosts for the test's time: a ticket alone (the file's
#   password is wrong), auth=kerberos without a ticket or with an expired one,
#   the KDC out of reach, NTLM blocked, this machine's clock an hour ahead.
# Usage: tests/platform/realnet/samba_test.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=$(realpath "${1:-build/linux}")
client="$build/tests/platform/realnet/realnet_tests"
[ "$(id -u)" -eq 0 ] || { echo "samba_test.sh: root only (the domain controller takes ports 88, 445, 135)"; exit 1; }
state="$build/samba-test"
rm -rf "$state"
mkdir -p "$state"
pids=()
hosts_line=""
stop_all() {
  if [ -n "$hosts_line" ]; then
    # Written in place: /etc/hosts may be a mount that cannot be replaced.
    grep -vxF "$hosts_line" /etc/hosts >"$state/hosts" || true
    cat "$state/hosts" >/etc/hosts
  fi
  # Each server runs in a session of its own (smbd signals its whole process
  # group when it ends); the RPC helpers they start are not their children
  # and are stopped by the PIDs they leave in their pid directories.
  for pid in "${pids[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  for file in "$state"/*/run/*.pid; do
    [ -f "$file" ] && kill -TERM -- "-$(cat "$file")" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  pids=()
}
trap stop_all EXIT
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# ---- smbd
getent group velmora-admins >/dev/null || groupadd --system velmora-admins
for user in velmora-adm velmora-usr; do
  getent passwd "$user" >/dev/null || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
done
usermod -a -G velmora-admins velmora-adm
password="Adm-$RANDOM$RANDOM"
user_password="Usr-$RANDOM$RANDOM"
(umask 077
 printf 'username=velmora-adm\npassword=%s\n' "$password" > "$state/admin.credentials"
 printf 'username=velmora-usr\npassword=%s\n' "$user_password" > "$state/user.credentials"
 printf 'username=velmora-adm\npassword=wrong-%s\n' "$RANDOM" > "$state/wrong.credentials")

# One smbd: NAME, its SMB encryption, its port; shares the accounts' state.
start_smbd() {
  local name=$1 encrypt=$2 port=$3 dir="$state/$1"
  mkdir -p "$dir"/{run,lock,cache,ncalrpc} "$state/private" "$state/state"
  cat > "$dir/smb.conf" <<EOF
[global]
  server role = standalone server
  workgroup = VELMORA
  netbios name = VELMORASMB
  interfaces = lo
  bind interfaces only = yes
  smb ports = $port
  disable netbios = yes
  server min protocol = SMB3
  server smb encrypt = $encrypt
  server signing = mandatory
  ntlm auth = ntlmv2-only
  disable spoolss = no
  load printers = no
  printing = bsd
  printcap name = /dev/null
  passdb backend = tdbsam:$state/private/passdb.tdb
  private dir = $state/private
  state directory = $state/state
  lock directory = $dir/lock
  cache directory = $dir/cache
  pid directory = $dir/run
  ncalrpc dir = $dir/ncalrpc
  log file = $dir/log
  max log size = 0
  log level = 1 auth_audit:2
EOF
  setsid smbd --foreground --no-process-group --configfile="$dir/smb.conf" </dev/null >"$dir/stdout" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do listening "$port" && return 0; sleep 0.1; done
  echo "smbd $name did not start:"; cat "$dir/stdout" "$dir/log" 2>/dev/null; exit 1
}

port=$(free_port)
start_smbd encrypted required "$port"
conf="$state/encrypted/smb.conf"
printf '%s\n%s\n' "$password" "$password" | smbpasswd -c "$conf" -s -a velmora-adm >/dev/null
printf '%s\n%s\n' "$user_password" "$user_password" | smbpasswd -c "$conf" -s -a velmora-usr >/dev/null
net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup=velmora-admins type=builtin >/dev/null

export VELMORA_SMBD_PORT=$port VELMORA_SMBD_LOG="$state/encrypted/log" VELMORA_SMBD_STATE="$state"
"$client" --gtest_filter='Smbd.*'

# The capture: the same calls on an smbd that leaves SMB unencrypted.
capture_port=$(free_port)
start_smbd plain off "$capture_port"
for privacy in seal sign none; do
  pcap="$state/$privacy.pcap"
  dumpcap -q -i lo -f "tcp port $capture_port" -w "$pcap" 2>"$state/dumpcap.log" &
  dump=$!
  for _ in $(seq 50); do grep -q "Capturing on" "$state/dumpcap.log" && break; sleep 0.1; done
  VELMORA_SMBD_PORT=$capture_port VELMORA_PRIVACY=$privacy "$client" --gtest_filter='SmbdCapture.*' >"$state/capture.log" ||
    { cat "$state/capture.log"; exit 1; }
  sleep 0.3
  kill -INT "$dump"; wait "$dump" || true
  # The marker as svcctl carries it: UTF-16LE.
  shown=$(/usr/bin/python3 -c 'import sys
print(["hidden", "readable"]["VelmoraMarkerSvc".encode("utf-16-le") in open(sys.argv[1], "rb").read()])' "$pcap")
  [ "$shown" = "$([ "$privacy" = seal ] && echo hidden || echo readable)" ] ||
    { echo "FAIL privacy=$privacy: the marker is $shown on the wire"; exit 1; }
  echo "PASS privacy=$privacy: the marker is $shown on the wire"
done
# Stopped before the domain controller, which is also an smbd.
stop_all

# ---- the domain controller
# Kerberos names the DC by a host name (never localhost), which must lead to
# 127.0.0.1: /etc/hosts gets that line for the test's time when it lacks it.
host=velmora-dc
if ! getent hosts "$host" | grep -q '^127\.'; then
  hosts_line="127.0.0.1 $host # samba_test.sh"
  echo "$hosts_line" >>/etc/hosts
fi

dc="$state/dc"
mkdir -p "$dc"/{run,log,ncalrpc}
password="Dc-$RANDOM-$RANDOM-Pw1"
samba-tool domain provision --targetdir="$dc" --realm=VELMORA.TEST --domain=VELMORA --server-role=dc \
  --dns-backend=NONE --host-name="$host" --host-ip=127.0.0.1 --adminpass="$password" \
  --option="interfaces=lo" --option="bind interfaces only=yes" --option="disable netbios=yes" \
  --option="server services=s3fs rpc kdc winbindd" --option="dns forwarder=127.0.0.1" \
  --option="log file=$dc/log/samba.log" --option="pid directory=$dc/run" \
  --option="ncalrpc dir=$dc/ncalrpc" >"$dc/provision.log" 2>&1 || { cat "$dc/provision.log"; exit 1; }
# Password logons refused, as a domain that has turned NTLM off; every
# logon's result logged.
sed -i 's/^\[global\]$/[global]\n\tntlm auth = disabled\n\tlog level = 1 auth_audit:2/' "$dc/etc/smb.conf"

cat >"$dc/krb5.conf" <<EOF
[libdefaults]
  default_realm = VELMORA.TEST
  dns_lookup_kdc = false
  dns_lookup_realm = false
  rdns = false
[realms]
  VELMORA.TEST = {
    kdc = 127.0.0.1
  }
[domain_realm]
  $host = VELMORA.TEST
EOF
sed 's/kdc = 127.0.0.1$/kdc = 127.0.0.1:1/' "$dc/krb5.conf" >"$dc/krb5-no-kdc.conf"
export KRB5_CONFIG="$dc/krb5.conf"

setsid samba --foreground --no-process-group --configfile="$dc/etc/smb.conf" </dev/null >"$dc/samba.out" 2>&1 &
pids+=($!)
# Ready once SMB and the KDC listen and the RPC server has made its pipes.
for _ in $(seq 300); do
  listening 445 && listening 88 && [ -S "$dc/ncalrpc/np/wkssvc" ] && [ -S "$dc/ncalrpc/np/svcctl" ] && break
  sleep 0.1
done

# The tickets: a good one, one left for the KDC test, one that lasts a
# minute (Samba will not use less than five), and none at all.
for cache in admin tgt-only; do
  echo "$password" | KRB5CCNAME="FILE:$dc/$cache.ccache" kinit "Administrator@VELMORA.TEST" >/dev/null
done
echo "$password" | KRB5CCNAME="FILE:$dc/expired.ccache" kinit -l 1m "Administrator@VELMORA.TEST" >/dev/null
(umask 077
 printf 'username=Administrator\npassword=%s\ndomain=VELMORA\n' "$password" >"$dc/admin.credentials"
 printf 'username=Administrator\npassword=wrong-%s\ndomain=VELMORA\nccache=FILE:%s\n' "$RANDOM" "$dc/admin.ccache" \
   >"$dc/wrong.credentials")

export VELMORA_DC_STATE="$dc" VELMORA_DC_HOST="$host"
KRB5_CONFIG="$dc/krb5-no-kdc.conf" "$client" --gtest_filter='DcWithoutKdc.*'
"$client" --gtest_filter='Dc.*'
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f +1h \
  "$client" --gtest_filter='DcWithSkewedClock.*'
