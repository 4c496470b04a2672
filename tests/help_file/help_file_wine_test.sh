#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Velmora.HLP in Wine's own help viewer (winhlp32.exe of Debian's wine, a witness we did not write), on a private Xvfb,
# driven as velmora-wine drives it: the viewer waits hidden, help-viewer-probe.exe asks it through WinHelpA.
# HELP_CONTENTS opens the contents topic: its text, read back, is the help text's; the viewer's window is named with the
# title; and the screenshot holds the title and first line as GDI draws them in the file's face and size (so code page
# 932 was decoded and drawn as Japanese glyphs, not boxes). HELP_CONTEXT with each map number of res/resource.h opens
# the section of that window (its heading and first line read back); HELP_QUIT closes it.
# Usage: tests/help_file/help_file_wine_test.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/wine-env.sh
wine_env_install
scripts/install-deps.sh xdotool imagemagick x11-utils
wine_env_check
work="$(mktemp -d)"
trap 'wine_env_stop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" && exit 1; }

wine_env_take_turn build/mingw
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target velmora_help help_viewer_probe >/dev/null
wine_env_prepare "$PWD/build/mingw" >/dev/null
wine_env_end_turn
wine_env_use_wine_help_viewer
wine_env_own_display
help_text=frontends/terminal/help/Velmora.txt
# A section's heading and its first line of text, spaces trimmed.
section() { awk -v h="■ $1" '$0 == h { found = 1; next } found && NF { sub(/^ +/, ""); print h "\t" $0; exit }' "$help_text" | sed 's/^■ //'; }
number() { sed -n "s/^#define $1 \([0-9]*\)\$/\1/p" res/resource.h; }
# Into a file: a viewer that WinHelpA starts would hold a pipe open.
probe() {
  (cd build/mingw && wine help-viewer-probe.exe Velmora.HLP "$@" >"$work/probe.out" 2>/dev/null)
  tr -d '\r' <"$work/probe.out" | sed 's/ *\t */\t/g'
}

# From the program's folder, as run-wine.sh starts it: the viewer looks for a
# help file named without a folder in its own.
(cd build/mingw && wine_env_start_wine_help_viewer)
[ "$(probe ready)" = "ready	yes" ] || fail "the help viewer started beforehand has no window"
title="$(sed -n '1s/^# //p' "$help_text")"
first_line="$(sed -n 2p "$help_text")"
shown="$(probe contents)"
[ "$shown" = "contents	$title	$first_line" ] || fail "HELP_CONTENTS shows: $shown"

viewer="$(timeout 30 xdotool search --sync --onlyvisible --name "^$title" | sed -n 1p)" ||
  fail "no visible window's name begins with $title: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
read -r X Y W H < <(xwininfo -id "$viewer" | awk -F: '/Absolute upper-left [XY]|Width|Height/ { printf "%d ", $2 } END { print "" }')
import -window root -depth 8 "$work/screen.pgm"
rendered() { (cd build/mingw && wine help-viewer-probe.exe --render "$1" "$2" "$3" "Z:${work//\//\\}\\$4" >/dev/null 2>&1); }
drawn() {  # drawn WHAT TEXT HALF_POINTS BOLD
  rendered "$2" "$3" "$4" pattern.pgm
  python3 tests/help_file/find_text_in_screen.py "$work/screen.pgm" "$work/pattern.pgm" "$X" "$Y" "$W" 200 ||
    fail "the $1 is not drawn in the viewer's window"
}
drawn "title $title" "$title" 24 1
drawn "first line of the contents" "${first_line:0:24}" 20 0

steps=() expected=""
for pair in IDH_DLG_VELMORA:メインウィンドウ IDH_DLG_JOB:ジョブの詳細設定 IDH_DLG_CP:コンピュータの選択; do
  n="$(number "${pair%%:*}")"
  [ -n "$n" ] || fail "res/resource.h has no ${pair%%:*}"
  steps+=("$n")
  expected+="$n	$(section "${pair#*:}")"$'\n'
done
shown="$(probe "${steps[@]}" quit)"
[ "$shown"$'\n' = "${expected}quit	closed"$'\n' ] || fail "HELP_CONTEXT and HELP_QUIT: expected"$'\n'"${expected}quit	closed"$'\n'"saw"$'\n'"$shown"
echo "PASS: Wine's help viewer shows Velmora.HLP at its contents, at each window's section by context, and closes at HELP_QUIT"
