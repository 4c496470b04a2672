#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kerberos logons against a throwaway Samba AD DC (VELMORA.TEST, under
# build/samba-dc-test) that refuses NTLM: a ticket alone (the file's password
# is wrong), auth=kerberos without a ticket or with an expired one, the KDC out
# of reach, NTLM blocked, this machine's clock an hour ahead. Root only: the DC
# takes ports 88, 445 and 135 of 127.0.0.1, and is named velmora-dc in
# /etc/hosts for the test's time.
# Usage: tests/platform/realnet/samba_dc_test.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=$(realpath "${1:-build/linux}")
client="$build/tests/platform/realnet/samba_server_test"
[ "$(id -u)" -eq 0 ] || { echo "samba_dc_test.sh: the domain controller needs root (ports 88, 445, 135)"; exit 1; }
# Kerberos names the DC by a host name (never localhost), which must lead to
# 127.0.0.1: /etc/hosts gets that line for the test's time when it lacks it.
host=velmora-dc
hosts_line=""
if ! getent hosts "$host" | grep -q '^127\.'; then
  hosts_line="127.0.0.1 $host # samba_dc_test.sh"
  echo "$hosts_line" >>/etc/hosts
fi

state="$build/samba-dc-test"
rm -rf "$state"
mkdir -p "$state"/{run,log,ncalrpc}
dc=""
stop_dc() {
  if [ -n "$hosts_line" ]; then
    # Written in place: /etc/hosts may be a mount that cannot be replaced.
    grep -vxF "$hosts_line" /etc/hosts >"$state/hosts" || true
    cat "$state/hosts" >/etc/hosts
  fi
  # samba and its smbd and winbindd run in sessions of their own; the RPC
  # helpers that smbd starts are not their children: every one is stopped
  # by the PID it left in the pid directory.
  [ -n "$dc" ] && kill -TERM -- "-$dc" 2>/dev/null || true
  for file in "$state"/run/*.pid; do
    [ -f "$file" ] && kill -TERM -- "-$(cat "$file")" 2>/dev/null || true
  done
  [ -n "$dc" ] && for _ in $(seq 50); do kill -0 "$dc" 2>/dev/null || break; sleep 0.1; done
}
trap stop_dc EXIT

password="Dc-$RANDOM-$RANDOM-Pw1"
samba-tool domain provision --targetdir="$state" --realm=VELMORA.TEST --domain=VELMORA --server-role=dc \
  --dns-backend=NONE --host-name="$host" --host-ip=127.0.0.1 --adminpass="$password" \
  --option="interfaces=lo" --option="bind interfaces only=yes" --option="disable netbios=yes" \
  --option="server services=s3fs rpc kdc winbindd" --option="dns forwarder=127.0.0.1" \
  --option="log file=$state/log/samba.log" --option="pid directory=$state/run" \
  --option="ncalrpc dir=$state/ncalrpc" >"$state/provision.log" 2>&1 ||
  { cat "$state/provision.log"; exit 1; }
# Password logons refused, as a domain that has turned NTLM off; every
# logon's result logged.
sed -i 's/^\[global\]$/[global]\n\tntlm auth = disabled\n\tlog level = 1 auth_audit:2/' "$state/etc/smb.conf"

cat >"$state/krb5.conf" <<EOF
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
sed 's/kdc = 127.0.0.1$/kdc = 127.0.0.1:1/' "$state/krb5.conf" >"$state/krb5-no-kdc.conf"
export KRB5_CONFIG="$state/krb5.conf"

setsid samba --foreground --no-process-group --configfile="$state/etc/smb.conf" </dev/null >"$state/samba.out" 2>&1 &
dc=$!
# Ready once SMB and the KDC listen and the RPC server has made its pipes.
for _ in $(seq 300); do
  (exec 3<>/dev/tcp/127.0.0.1/445) 2>/dev/null && (exec 3<>/dev/tcp/127.0.0.1/88) 2>/dev/null &&
    [ -S "$state/ncalrpc/np/wkssvc" ] && [ -S "$state/ncalrpc/np/svcctl" ] && break
  sleep 0.1
done

# The tickets: a good one, one left for the KDC test, one that lasts a
# minute (Samba will not use less than five), and none at all.
for cache in admin tgt-only; do
  echo "$password" | KRB5CCNAME="FILE:$state/$cache.ccache" kinit "Administrator@VELMORA.TEST" >/dev/null
done
echo "$password" | KRB5CCNAME="FILE:$state/expired.ccache" kinit -l 1m "Administrator@VELMORA.TEST" >/dev/null
(umask 077
 printf 'username=Administrator\npassword=%s\ndomain=VELMORA\n' "$password" >"$state/admin.credentials"
 printf 'username=Administrator\npassword=wrong-%s\ndomain=VELMORA\nccache=FILE:%s\n' "$RANDOM" "$state/admin.ccache" \
   >"$state/wrong.credentials")

export VELMORA_DC_STATE="$state" VELMORA_DC_HOST="$host"
KRB5_CONFIG="$state/krb5-no-kdc.conf" "$client" --gtest_filter='DcWithoutKdc.*'
"$client" --gtest_filter='Dc.*'
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f +1h \
  "$client" --gtest_filter='DcWithSkewedClock.*'
