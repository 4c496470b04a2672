#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# samba_server_test against Samba's own smbd (Debian samba), standalone on
# 127.0.0.1 and a port of its own, SMB3 with encryption and signing required,
# NTLMv2 only, its state under build/smbd-test: an administrator (Builtin
# Administrators mapped to a Unix group), a plain user and a wrong password.
# The Unix accounts (velmora-adm, velmora-usr, velmora-admins) are made once.
# A second smbd that does not encrypt SMB shows, in a loopback capture, that
# privacy=seal hides a marker service name that sign and none let through.
# Usage: tests/platform/realnet/smbd_test.sh BUILD_DIR   (as root, or with sudo)
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=$(realpath "${1:-build/linux}")
client="$build/tests/platform/realnet/samba_server_test"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

state="$build/smbd-test"
$sudo rm -rf "$state"
mkdir -p "$state"
pids=()
stop_all() {
  # smbd ends with its session; samba-dcerpcd, which smbd starts on demand,
  # runs in a session of its own and is stopped by its PID file.
  for pid in "${pids[@]}"; do $sudo kill -TERM "$pid" 2>/dev/null || true; done
  for file in "$state"/*/run/samba-dcerpcd.pid; do
    [ -f "$file" ] && $sudo kill -TERM -- "-$(cat "$file")" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do $sudo kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
}
trap stop_all EXIT

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

$sudo getent group velmora-admins >/dev/null || $sudo groupadd --system velmora-admins
for user in velmora-adm velmora-usr; do
  $sudo getent passwd "$user" >/dev/null || $sudo useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
done
$sudo usermod -a -G velmora-admins velmora-adm
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
  $sudo setsid smbd --foreground --no-process-group --configfile="$dir/smb.conf" </dev/null >"$dir/stdout" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "smbd $name did not start:"; cat "$dir/stdout" "$dir/log" 2>/dev/null; exit 1
}

port=$(free_port)
start_smbd encrypted required "$port"
conf="$state/encrypted/smb.conf"
printf '%s\n%s\n' "$password" "$password" | $sudo smbpasswd -c "$conf" -s -a velmora-adm >/dev/null
printf '%s\n%s\n' "$user_password" "$user_password" | $sudo smbpasswd -c "$conf" -s -a velmora-usr >/dev/null
$sudo net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup=velmora-admins type=builtin >/dev/null

export VELMORA_SMBD_PORT=$port VELMORA_SMBD_LOG="$state/encrypted/log" VELMORA_SMBD_STATE="$state"
"$client" --gtest_filter='Smbd.*'

# The capture: the same calls on an smbd that leaves SMB unencrypted.
capture_port=$(free_port)
start_smbd plain off "$capture_port"
for privacy in seal sign none; do
  pcap="$state/$privacy.pcap"
  $sudo rm -f "$pcap"
  $sudo dumpcap -q -i lo -f "tcp port $capture_port" -w "$pcap" 2>"$state/dumpcap.log" &
  dump=$!
  for _ in $(seq 50); do grep -q "Capturing on" "$state/dumpcap.log" && break; sleep 0.1; done
  VELMORA_SMBD_PORT=$capture_port VELMORA_PRIVACY=$privacy "$client" --gtest_filter='SmbdCapture.*' >"$state/capture.log" ||
    { cat "$state/capture.log"; exit 1; }
  sleep 0.3
  $sudo kill -INT "$dump"; wait "$dump" || true
  # The marker as svcctl carries it: UTF-16LE.
  seen=$($sudo /usr/bin/python3 -c 'import sys; print(int("VelmoraMarkerSvc".encode("utf-16-le") in open(sys.argv[1],"rb").read()))' "$pcap")
  expected=$([ "$privacy" = seal ] && echo 0 || echo 1)
  shown=$([ "$seen" = 1 ] && echo readable || echo hidden)
  [ "$seen" = "$expected" ] || { echo "FAIL privacy=$privacy: the marker is $shown on the wire"; exit 1; }
  echo "PASS privacy=$privacy: the marker is $shown on the wire"
done
