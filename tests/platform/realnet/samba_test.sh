#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# realnet_tests against Samba's own servers, each in mount, network and PID namespaces of its own with its client: a
# private loopback (the standard ports free, nothing outside reaching it), /run, /dev/shm, Samba's folders, /etc/hosts,
# /etc/passwd and /etc/group, and its state under BUILD_DIR. The machine's files, accounts, ports and own Samba stay as
# they were, and two runs at once do not meet. Root only (the namespaces).
# - smbd: SMB3 with encryption and signing required, NTLMv2 only: an administrator, a plain user and a wrong password.
#   A second smbd that does not encrypt shows, in a loopback capture, that privacy=seal hides a marker service name
#   that sign and none let through.
# - dc: a throwaway AD domain controller (VELMORA.TEST) that refuses NTLM, named velmora-dc, ready once a ticket and a
#   workstation query with it succeed (else, after 60 s, the test fails with its log's tail).
# Usage: tests/platform/realnet/samba_test.sh BUILD_DIR [smbd|dc]   (both by default)
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=$(realpath "${1:-build/linux}")
client="$build/tests/platform/realnet/realnet_tests"
[ "$(id -u)" -eq 0 ] ||
  { echo "FAIL: samba_test.sh needs root, to run each Samba server in namespaces of its own"; exit 1; }

if [ -z "${VELMORA_SAMBA_PART:-}" ]; then
  # dumpcap captures, faketime sets the clock ahead, iproute2 raises the loopback.
  scripts/install-deps.sh samba wireshark-common samba-dsdb-modules samba-ad-provision winbind krb5-user faketime \
    iproute2 >&2
  # This run's lines in its private hosts and passwd carry its mark; none may reach the machine's.
  run="samba_test.sh-run-$$-$RANDOM$RANDOM"
  status=0
  for part in ${2:-smbd dc}; do
    VELMORA_SAMBA_PART=$part VELMORA_SAMBA_RUN=$run \
      unshare --mount --net --pid --fork --kill-child --mount-proc --propagation private "$0" "$build" || status=1
  done
  ! grep -lF "$run" /etc/hosts /etc/passwd ||
    { echo "FAIL: the files above, the machine's own, hold this run's lines"; status=1; }
  exit $status
fi

# ---- the namespace: everything below is private to this run
part=$VELMORA_SAMBA_PART
state=$(mktemp -d "$build/samba-test-$part.XXXXXX")
chmod 0755 "$state"
ip link set lo up
mount -t tmpfs -o mode=0755 velmora-run /run
# faketime names its semaphore after its PID, which another run may repeat.
mount -t tmpfs -o mode=1777 velmora-shm /dev/shm
mkdir -p /run/samba /run/lock
for dir in /var/lib/samba /var/cache/samba; do
  mkdir -p "$state/machine$dir"
  [ ! -d "$dir" ] || mount --bind "$state/machine$dir" "$dir"
done
host=velmora-dc
cp /etc/hosts "$state/hosts"
echo "127.0.0.1 $host # $VELMORA_SAMBA_RUN" >>"$state/hosts"
mount --bind "$state/hosts" /etc/hosts

pids=() passed=no
stop_all() {
  # Each server has a session of its own (smbd signals its process group);
  # the RPC helpers they start are stopped by the PIDs in their pid folders.
  for pid in "${pids[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  for file in "$state"/*/run/*.pid; do [ -f "$file" ] && kill -TERM -- "-$(cat "$file")" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  pids=()
}
finish() {
  stop_all
  # This script is the PID namespace's first process: what still runs in it
  # is killed, and the state's removal tried until its writes have stopped.
  kill -KILL -1 2>/dev/null || true
  if [ "$passed" = yes ]; then
    for _ in $(seq 20); do rm -rf "$state" 2>/dev/null && break; sleep 0.1; done
    rm -rf "$state"
  else
    echo "samba_test.sh $part: its state is kept in $state"
  fi
}
trap finish EXIT
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# ---- smbd
run_smbd() {
  # The accounts, in this namespace's passwd and group alone, at IDs the machine does not use; those an
  # older run left on the machine are not seen here.
  local id=64200
  while getent passwd $id $((id + 1)) $((id + 2)) >/dev/null || getent group $id $((id + 1)) $((id + 2)) >/dev/null; do
    id=$((id + 3))
  done
  grep -Ev '^velmora-(adm|usr):' /etc/passwd >"$state/passwd" || true
  grep -Ev '^velmora-(adm|usr|admins):' /etc/group >"$state/group" || true
  local mark=$VELMORA_SAMBA_RUN
  printf 'velmora-adm:x:%d:%d:%s:/nonexistent:/usr/sbin/nologin\nvelmora-usr:x:%d:%d:%s:/nonexistent:/usr/sbin/nologin\n' \
    $id $id "$mark" $((id + 1)) $((id + 1)) "$mark" >>"$state/passwd"
  printf 'velmora-adm:x:%d:\nvelmora-usr:x:%d:\nvelmora-admins:x:%d:velmora-adm\n' $id $((id + 1)) $((id + 2)) \
    >>"$state/group"
  for file in passwd group; do mount --bind "$state/$file" "/etc/$file"; done

  password="Adm-$RANDOM$RANDOM" user_password="Usr-$RANDOM$RANDOM"
  (umask 077
   printf 'username=velmora-adm\npassword=%s\n' "$password" > "$state/admin.credentials"
   printf 'username=velmora-usr\npassword=%s\n' "$user_password" > "$state/user.credentials"
   printf 'username=velmora-adm\npassword=wrong-%s\n' "$RANDOM" > "$state/wrong.credentials")

  start_smbd encrypted required 445
  conf="$state/encrypted/smb.conf"
  printf '%s\n%s\n' "$password" "$password" | smbpasswd -c "$conf" -s -a velmora-adm >/dev/null
  printf '%s\n%s\n' "$user_password" "$user_password" | smbpasswd -c "$conf" -s -a velmora-usr >/dev/null
  net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup=velmora-admins type=builtin >/dev/null

  export VELMORA_SMBD_PORT=445 VELMORA_SMBD_LOG="$state/encrypted/log" VELMORA_SMBD_STATE="$state"
  "$client" --gtest_filter='Smbd.*'

  # The capture: the same calls on an smbd that leaves SMB unencrypted.
  local capture_port
  capture_port=$(free_port)
  start_smbd plain off "$capture_port"
  for privacy in seal sign none; do
    pcap="$state/$privacy.pcap"
    dumpcap -q -i lo -f "tcp port $capture_port" -w "$pcap" 2>"$state/dumpcap.log" & dump=$!
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
}

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
  echo "FAIL: smbd $name did not start:"; cat "$dir/stdout" "$dir/log" 2>/dev/null; exit 1
}

# ---- the domain controller
run_dc() {
  dc="$state/dc"
  mkdir -p "$dc"/{run,log,ncalrpc}
  local password="Dc-$RANDOM-$RANDOM-Pw1"
  samba-tool domain provision --targetdir="$dc" --realm=VELMORA.TEST --domain=VELMORA --server-role=dc \
    --dns-backend=NONE --host-name="$host" --host-ip=127.0.0.1 --adminpass="$password" \
    --option="interfaces=lo" --option="bind interfaces only=yes" --option="disable netbios=yes" \
    --option="server services=s3fs rpc kdc winbindd" --option="dns forwarder=127.0.0.1" \
    --option="log file=$dc/log/samba.log" --option="pid directory=$dc/run" \
    --option="ncalrpc dir=$dc/ncalrpc" >"$dc/provision.log" 2>&1 || { cat "$dc/provision.log"; exit 1; }
  # Password logons refused, as a domain that turned NTLM off; every logon logged.
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
  (umask 077
   printf 'username=Administrator\npassword=%s\ndomain=VELMORA\n' "$password" >"$dc/admin.credentials"
   printf 'username=Administrator\npassword=wrong-%s\ndomain=VELMORA\nccache=FILE:%s\n' "$RANDOM" "$dc/admin.ccache" \
     >"$dc/wrong.credentials")
  export VELMORA_DC_STATE="$dc" VELMORA_DC_HOST="$host"

  setsid samba --foreground --no-process-group --configfile="$dc/etc/smb.conf" </dev/null >"$dc/samba.out" 2>&1 &
  pids+=($!)
  local began=$SECONDS
  until echo "$password" | KRB5CCNAME="FILE:$dc/admin.ccache" kinit "Administrator@VELMORA.TEST" >"$dc/ready.log" 2>&1 &&
    "$client" --gtest_filter='DcReady.*' >>"$dc/ready.log" 2>&1; do
    if [ $((SECONDS - began)) -ge 60 ]; then
      echo "FAIL: the domain controller was not ready within 60 s; the last try:"
      tail -n 20 "$dc/ready.log"
      echo "its log's tail:" && tail -n 40 "$dc/log/samba.log" "$dc/samba.out" 2>/dev/null
      exit 1
    fi
    sleep 1
  done
  echo "the domain controller was ready after $((SECONDS - began)) s"

  # One ticket for the KDC test, one that lasts a minute (Samba wants five).
  echo "$password" | KRB5CCNAME="FILE:$dc/tgt-only.ccache" kinit "Administrator@VELMORA.TEST" >/dev/null
  echo "$password" | KRB5CCNAME="FILE:$dc/expired.ccache" kinit -l 1m "Administrator@VELMORA.TEST" >/dev/null

  KRB5_CONFIG="$dc/krb5-no-kdc.conf" "$client" --gtest_filter='DcWithoutKdc.*'
  "$client" --gtest_filter='Dc.*'
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f +1h \
    "$client" --gtest_filter='DcWithSkewedClock.*'
}

[[ "$part" =~ ^(smbd|dc)$ ]] || { echo "samba_test.sh: no part named $part (smbd or dc)"; exit 1; }
"run_$part"
passed=yes
