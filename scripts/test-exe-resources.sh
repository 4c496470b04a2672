#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that a PE file (velmora.exe) carries the program's four dialogs by name, icon group 111 with its two images and
# the version block, every one in Japanese (1041), from the resource directory that objdump prints.
# Usage: scripts/test-exe-resources.sh OBJDUMP FILE.exe
set -euo pipefail
exe="$2"
# One line per resource: type, name (or 0x ID) and language, as objdump gives
# them; the level of an entry shows in how far its "Entry:" is indented.
listing="$("$1" -p "$exe" | awk '
  /Resource Directory section/ { on = 1 }
  on && /Entry:/ {
    if (/Entry: name:/) { id = $0; sub(/.*\]: /, "", id); sub(/, Value:.*/, "", id) } else { id = $4; sub(/,$/, "", id) }
    level = index($0, "Entry:") - length($1)
    if (level == 4) type = id; else if (level == 6) name = id; else print type, name, id
  }')"
echo "$listing"
failures=0
fail() { echo "$exe: $1" >&2 && failures=$((failures + 1)); }
while read -r type name language; do
  [ -z "$type" ] || [ "$language" = 0x000411 ] || fail "resource $name is not in language 1041"
done <<<"$listing"
for dialog in DLG_VELMORA DLG_ABOUT DLG_CP DLG_JOB; do
  grep -q "^0x000005 $dialog " <<<"$listing" || fail "dialog $dialog missing"
done
grep -q '^0x00000e 0x00006f ' <<<"$listing" || fail "icon group 111 missing"
icons=$(grep -c '^0x000003 ' <<<"$listing" || true)
[ "$icons" -eq 2 ] || fail "expected two icon images, found $icons"
grep -q '^0x000010 0x000001 ' <<<"$listing" || fail "version block missing"
[ "$failures" -eq 0 ] || exit 1
echo "$exe: resources complete"
