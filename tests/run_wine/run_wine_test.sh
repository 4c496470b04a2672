#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A new user's path under Wine, on a private Xvfb watched over VNC: with the README's example network,
# scripts/run-wine.sh manages SOUMU01 (a job added by keyboard lands there), the version box reaches the VNC viewer
# drawn in NT 4's grey, the main window drawn active from the start, the Help button opens the help file in Wine's own
# viewer and the program's exit closes it; a scenario failing under Wine names its screenshot.
# Usage: tests/run_wine/run_wine_test.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/wine-env.sh
wine_env_install
scripts/install-deps.sh xdotool x11vnc vncsnapshot netpbm imagemagick
wine_env_check
work="$(mktemp -d)"
run_pid=""
trap '[ -z "$run_pid" ] || kill "$run_pid" 2>/dev/null || true; WINEPREFIX="$PWD/build/mingw/wine-prefix" wineserver -k 2>/dev/null || true; wine_env_stop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" && exit 1; }
# A search fails when a window it looks at goes meanwhile (BadWindow): it is repeated.
window() {
  local id
  for _ in 1 2 3; do
    id="$(timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | sed -n 1p)" || true
    [ -z "$id" ] || { echo "$id" && return 0; }
  done
  return 1
}
# poll N COMMAND...: whether COMMAND succeeds within N tries 0.2 s apart and one more.
poll() { for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.2; done; "${@:2}"; }
gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
wine_env_own_display

# A Wine session of the prefix runs already (as when a second program
# starts), so the computer's name is set in the running session.
wine_env_take_turn build/mingw
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target velmora velmora_netapi32 velmora_winhelp velmora_scenario_player >/dev/null
(wine_env_prepare "$PWD/build/mingw" >/dev/null && wine_env_end_turn && wine_env_start_help_viewer --stay)
wine_env_end_turn
cp examples/office.network "$work/office.network"
VELMORA_NETWORK="$work/office.network" scripts/run-wine.sh >"$work/run.log" 2>&1 &
run_pid=$!
main="$(window '^Velmora$')" || fail "the main window did not appear: $(cat "$work/run.log")"

# The main window is active at start, as on Windows: its title bar navy
# (NT 4's active title), not grey, before any dialog has been opened.
read -r X Y W H < <(xwininfo -id "$main" | awk -F: '/Absolute upper-left [XY]|Width|Height/ { printf "%d ", $2 } END { print "" }')
navy_title() {
  navy="$(import -window root "$work/start.png" &&
    convert "$work/start.png" -crop "$((W - 40))x10+$((X + 20))+$((Y + 5))" -format %c histogram:info:- |
    awk '/\(0,0,128\)/ { n += $1 } END { print n + 0 }')" && [ "$navy" -ge $(((W - 40) * 10 / 2)) ]
}
poll 50 navy_title || fail "the main window's title bar is not navy at start: $navy navy pixels"

# The command, the run unit one up from "every", Enter for OK.
xdotool key alt+a
window '詳細設定' >/dev/null || fail "the job editor did not open"
xdotool type --delay 20 run-wine-test.cmd
xdotool key Tab Up Return
poll 100 grep -q '^job SOUMU01 .*cmd="run-wine-test.cmd"' "$work/office.network" || fail "no job was added to SOUMU01"

xdotool key alt+v
box="$(window 'ﾊﾞｰｼﾞｮﾝ情報')" || fail "the version box did not open"
sleep 1
# (xdotool's own geometry counts the Wine desktop's offset twice.)
read -r X Y W H < <(xwininfo -id "$box" | awk -F: '/Absolute upper-left [XY]|Width|Height/ { printf "%d ", $2 } END { print "" }')
port="$(x11vnc -display "$DISPLAY" -localhost -nopw -once -timeout 30 -bg -o "$work/x11vnc.log" -autoport 5990 2>/dev/null |
  sed -n 's/^PORT=//p')"
vncsnapshot -quiet -quality 100 -rect "${W}x${H}+$X+$Y" "127.0.0.1::$port" "$work/box.jpg" >/dev/null 2>&1 ||
  fail "vncsnapshot could not read the screen from x11vnc"
grey="$(jpegtopnm "$work/box.jpg" 2>/dev/null | ppmhist -noheader |
  awk '$1 >= 180 && $1 <= 204 && $2 >= 180 && $2 <= 204 && $3 >= 180 && $3 <= 204 { n += $5 } END { print n + 0 }')"
[ "$grey" -ge $((W * H * 2 / 5)) ] || fail "the version box is not drawn in grey on the screen: $grey of $((W * H)) pixels"

# Help opens Velmora.HLP in Wine's own viewer; the program's end closes it. The viewer may cover the main window, so the
# program is closed as its close box would (WM_CLOSE), by taskkill in the program's desktop.
xdotool key Return
help_title="$(sed -n '1s/^# //p' frontends/terminal/help/Velmora.txt)"
xdotool key alt+h
window "$help_title" >/dev/null || fail "the Help button opened no window named $help_title"
(wine_env_prepare "$PWD/build/mingw" >/dev/null && wine explorer /desktop=velmora,1024x768 taskkill /im velmora.exe >/dev/null 2>&1)
poll 150 gone "$help_title" || fail "the help window stayed after the program's exit"
gone '^Velmora$' || fail "the program did not end at WM_CLOSE"

# Failing with the version box open: the line names a picture showing it.
printf 'computer PC01\nstart\nclick 107\nexpect window DLG_VELMORA\n' >"$work/box_open.scenario"
line="$(scripts/test-wine.sh "$work/box_open.scenario" 2>/dev/null | grep '^FAIL' || true)"
picture=build/wine-screenshots/box_open-line4.png
[[ "$line" == *"[screen: $picture]"* ]] || fail "the failure line names no screenshot: $line"
pngtopnm "$picture" | pamcut -left 380 -top 320 -width 240 -height 120 | ppmhist -noheader |
  awk 'NR > 20 { drawn = 1 } END { exit !drawn }' || fail "$picture does not show the version box drawn"
echo "PASS: run-wine.sh on the example network, the main window active at start, the version box on the screen, a failure's screenshot"
