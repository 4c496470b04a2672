#!/usr/bin/env bash
# Two users share network files: one owns a file, another reads it, in a shared
# sticky folder, in the owner's home folder and on a read-only mount. A reader
# needs no write access anywhere and never keeps the owner from changing the
# file; a change that may not be made is refused with its real reason.
# The users are IDs without accounts, run by setpriv; the mount is made in a
# mount namespace of the test's own. So it needs root (CI runs as root), and
# fails, saying so, without it.
# Usage: tests/shared_network/shared_users_test.sh NETWORK_CLIENT
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "FAIL: $0 needs root, to run processes as two users and mount a folder read-only"; exit 1; }
if [ -z "${VELMORA_OWN_MOUNTS:-}" ]; then
  exec env VELMORA_OWN_MOUNTS=1 unshare --mount --propagation private "$0" "$@"
fi
owner=61001 reader=61002
work="$(mktemp -d)"
trap 'umount "$work/mounted" 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 0755 "$work"
install -m 0755 "$1" "$work/network_client"
status=0

# as UID FILE COMMAND ARGS...: runs the client on FILE as UID; its output
# (both streams) is in $out.
as() {
  local uid="$1" file="$2"
  shift 2
  out="$(VELMORA_NETWORK="$file" setpriv --reuid="$uid" --regid="$uid" --clear-groups \
    "$work/network_client" "$@" 2>&1)"
}
works() {
  local what="$1"
  shift
  as "$@" || { echo "FAIL: $what: $out"; status=1; }
}
# refused WHAT REASON UID FILE COMMAND...: the call fails, naming REASON, and
# the file is as it was.
refused() {
  local what="$1" reason="$2" file="$4" before
  before="$(cat "$file")"
  shift 2
  if as "$@"; then
    echo "FAIL: $what was not refused"
    status=1
  elif [[ "$out" != *"$reason"* ]]; then
    echo "FAIL: $what: expected the reason \"$reason\", saw: $out"
    status=1
  fi
  [ "$(cat "$file")" = "$before" ] || { echo "FAIL: $what changed the file"; status=1; }
}
no_lock_file() {
  [ ! -e "$1.lock" ] || { echo "FAIL: $2 made the lock file $(stat -c '%U %a' "$1.lock")"; status=1; }
}
network() {  # network FILE MODE: a file of the owner with one computer
  printf 'computer PC01\n' >"$1"
  chown "$owner:$owner" "$1"
  chmod "$2" "$1"
}

# A shared sticky folder: the reader reads first, then the owner changes.
mkdir -m 1777 "$work/shared"
network "$work/shared/net" 0644
works "the reader lists the owner's file in a shared folder" "$reader" "$work/shared/net" list PC01
no_lock_file "$work/shared/net" "the reader"
works "the owner adds after the reader has read" "$owner" "$work/shared/net" add PC01 1 owner
refused "the reader's add" "you may not write the network file" "$reader" "$work/shared/net" add PC01 1 reader
works "the reader lists after the owner made the lock file" "$reader" "$work/shared/net" list PC01
[ "$out" = "1 owner-1" ] || { echo "FAIL: the reader listed \"$out\""; status=1; }
[ "$(stat -c '%u %a' "$work/shared/net.lock")" = "$owner 644" ] ||
  { echo "FAIL: the lock file is $(stat -c '%u %a' "$work/shared/net.lock"), not the owner's 644"; status=1; }

# The owner's home folder (0755): readable, not writable by the reader.
mkdir -m 0755 "$work/home"
chown "$owner:$owner" "$work/home"
network "$work/home/net" 0644
works "the reader lists a file in another user's home" "$reader" "$work/home/net" list PC01
no_lock_file "$work/home/net" "the reader"
refused "the reader's add to a file of mode 0644" "you may not write the network file" \
  "$reader" "$work/home/net" add PC01 1 reader
network "$work/home/given" 0644
chown "$reader:$reader" "$work/home/given"
works "the reader lists their own file in another user's home" "$reader" "$work/home/given" list PC01
refused "the reader's add to their file in a folder of mode 0755" "you may not write the folder $work/home" \
  "$reader" "$work/home/given" add PC01 1 reader
no_lock_file "$work/home/given" "the reader"
works "the owner adds in the home folder" "$owner" "$work/home/net" add PC01 1 owner

# A read-only mount: read by its owner, and its owner's change refused.
mkdir -m 0755 "$work/source" "$work/mounted"
network "$work/source/net" 0644
mount --bind -o ro "$work/source" "$work/mounted"
works "the owner lists a file on a read-only mount" "$owner" "$work/mounted/net" list PC01
refused "the owner's add on a read-only mount" "is on a file system mounted read-only" \
  "$owner" "$work/mounted/net" add PC01 1 owner
no_lock_file "$work/source/net" "the owner on a read-only mount"

[ "$status" -eq 0 ] && echo "PASS: readers need no write access and never lock the owner out; refusals say why"
exit "$status"
