#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two users share network files: one owns a file, another reads it, in a shared sticky folder, in the owner's home
# folder and on a read-only mount. A reader needs no write access anywhere and never keeps the owner from changing the
# file; a change that may not be made is refused with its real reason. The users are IDs without accounts, run by
# setpriv; the mount is made in a mount namespace of the test's own. So it needs root (CI runs as root), and fails,
# saying so, without it.
# Usage: tests/shared_network/shared_users_test.sh NETWORK_CLIENT
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "FAIL: $0 needs root, to run processes as two users and mount a folder read-only"; exit 1; }
[ -n "${VELMORA_OWN_MOUNTS:-}" ] || exec env VELMORA_OWN_MOUNTS=1 unshare --mount --propagation private "$0" "$@"
owner=61001 reader=61002
work="$(mktemp -d)"
trap 'umount -R "$work/mounted" "$work/full" 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 0755 "$work"
install -m 0755 "$1" "$work/network_client"
status=0
fail() { echo "FAIL: $*"; status=1; }

# as UID FILE ARGS...: the client on FILE as UID; its output is in $out.
as() {
  out="$(VELMORA_NETWORK="$2" setpriv --reuid="$1" --regid="$1" --clear-groups "$work/network_client" "${@:3}" 2>&1)"
}
# lists UID FILE: reads the file and makes no lock file of its own.
lists() {
  as "$1" "$2" list PC01 || fail "user $1 could not list $2: $out"
  [ ! -e "$2.lock" ] || [ "$(stat -c %u "$2.lock")" != "$1" ] || fail "user $1 made the lock file of $2"
}
# refused REASON UID FILE: an add fails, naming REASON, and leaves the file.
refused() {
  local before
  before="$(cat "$3")"
  ! as "$2" "$3" add PC01 1 refused || fail "user $2 changed $3"
  [[ "$out" == *"$1"* ]] || fail "user $2's change to $3: expected the reason \"$1\", saw: $out"
  [ "$(cat "$3")" = "$before" ] || fail "user $2's refused change altered $3"
}
network() {  # network FILE MODE [USER]: one computer's, USER's (else the owner's)
  printf 'computer PC01\n' | install -m "$2" -o "${3:-$owner}" -g "${3:-$owner}" /dev/stdin "$1"
}

# A shared sticky folder: the reader reads first, then the owner changes.
mkdir -m 1777 "$work/shared"
network "$work/shared/net" 0644
lists "$reader" "$work/shared/net"
as "$owner" "$work/shared/net" add PC01 1 owner || fail "the owner could not add after the reader read: $out"
refused "you may not write the network file" "$reader" "$work/shared/net"
lists "$reader" "$work/shared/net"
[ "$out" = "1 owner-1" ] || fail "the reader listed \"$out\""
[ "$(stat -c '%u %a' "$work/shared/net.lock")" = "$owner 644" ] ||
  fail "the lock file is $(stat -c '%u %a' "$work/shared/net.lock"), not the owner's 644"
# A group the owner is not in would be lost by a replacement.
network "$work/shared/grouped" 0664
chgrp "$reader" "$work/shared/grouped"
refused "cannot give the new file the owner of $work/shared/grouped" "$owner" "$work/shared/grouped"

# The owner's home folder (0755): the owner's file, and one the reader was given.
install -d -m 0755 -o "$owner" -g "$owner" "$work/home"
network "$work/home/net" 0644
network "$work/home/given" 0644 "$reader"
lists "$reader" "$work/home/net"
refused "you may not write the network file" "$reader" "$work/home/net"
lists "$reader" "$work/home/given"
refused "you may not write the folder $work/home" "$reader" "$work/home/given"
as "$owner" "$work/home/net" add PC01 1 owner || fail "the owner could not add in the home folder: $out"
# A file the reader may not read is refused as such.
network "$work/home/private" 0600
! as "$reader" "$work/home/private" list PC01 || fail "user $reader listed a file it may not read"
[[ "$out" == *"cannot read the network file $work/home/private: Permission denied"* ]] ||
  fail "the unreadable file's refusal: $out"

# A file and a folder everyone may write, without the sticky bit: a change clears the writer's own orphaned temporary
# files, never another user's (left with the file's mode by a writer that died), which only its user may judge.
mkdir -m 0777 "$work/open"
network "$work/open/net" 0666
network "$work/open/.net.velmora-tmp.READER" 0666 "$reader"
network "$work/open/.net.velmora-tmp.OWNERS" 0666 "$owner"
as "$owner" "$work/open/net" add PC01 1 owner || fail "the owner could not add in the open folder: $out"
[ ! -e "$work/open/.net.velmora-tmp.OWNERS" ] || fail "the owner's orphaned temporary file was left"
[ -e "$work/open/.net.velmora-tmp.READER" ] || fail "the owner's change removed the other user's temporary file"
refused "belongs to another user (ID $owner), and a replacement would belong to you" "$reader" "$work/open/net"
# A lock file the reader may not write, beside its own file: named, with its owner and mode.
network "$work/open/locked" 0644 "$reader"
install -m 0644 -o "$owner" -g "$owner" /dev/null "$work/open/locked.lock"
refused "you may not write the lock file $work/open/locked.lock (it belongs to user ID $owner, mode 0644)" \
  "$reader" "$work/open/locked"

# A read-only mount: its owner reads it, and a change is refused, as it is
# for a writable file bound into it, and in a folder with no room left.
mkdir -m 0755 "$work/mounted" "$work/full"
install -d -o "$owner" "$work/source"
network "$work/source/net" 0644
network "$work/source/bound" 0644
mount --bind -o ro "$work/source" "$work/mounted"
mount --bind "$work/shared/net" "$work/mounted/bound"
lists "$owner" "$work/mounted/net"
refused "is on a file system mounted read-only" "$owner" "$work/mounted/net"
refused "the folder $work/mounted that holds the network file is on a file system mounted read-only" \
  "$owner" "$work/mounted/bound"
mount -t tmpfs -o nr_inodes=3,uid="$owner" none "$work/full"
network "$work/full/net" 0644
refused "cannot create a temporary file in $work/full: No space left on device" "$owner" "$work/full/net"
[ ! -e "$work/source/net.lock" ] || fail "a lock file was made on the read-only mount"

[ "$status" -eq 0 ] && echo "PASS: readers need no write access and never lock the owner out; refusals say why"
exit "$status"
