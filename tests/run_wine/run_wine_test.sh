#!/usr/bin/env bash
# A new user's path under Wine, on a private Xvfb watched as over VNC: the
# README's example network through scripts/run-wine.sh manages its local
# computer SOUMU01 (a job added by keyboard lands there), the version box is
# drawn on the screen a VNC viewer gets, in NT 4's grey; and a scenario that
# fails under Wine leaves a screenshot that its line names.
# Usage: tests/run_wine/run_wine_test.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
. scripts/wine-env.sh
wine_env_install
scripts/install-deps.sh xdotool x11vnc vncsnapshot netpbm
wine_env_check

work="$(mktemp -d)"
run_pid=""
finish() {
  [ -z "$run_pid" ] || kill "$run_pid" 2>/dev/null || true
  WINEPREFIX="$root/build/mingw/wine-prefix" wineserver -k 2>/dev/null || true
  wine_env_stop
  rm -rf "$work"
}
trap finish EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}
wine_env_own_display

# A Wine session of the prefix runs already (as when a second program is
# started): the computer's name must reach the program all the same.
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target velmora velmora_netapi32 velmora_winhelp velmora_scenario_player >/dev/null
(
  wine_env_prepare "$root/build/mingw" >/dev/null
  wine_env_start_help_viewer --stay
)

cp examples/office.network "$work/office.network"
VELMORA_NETWORK="$work/office.network" scripts/run-wine.sh >"$work/run.log" 2>&1 &
run_pid=$!
window() { timeout 60 xdotool search --sync --onlyvisible --name "$1" | sed -n 1p; }
main="$(window '^Velmora$')" || fail "the main window did not appear: $(cat "$work/run.log")"

# Add a job: the command, the run unit one up from "every", Enter for OK.
if [ -n "$main" ]; then
  xdotool key alt+a
  window '詳細設定' >/dev/null || fail "the job editor did not open"
  xdotool type --delay 20 run-wine-test.cmd
  xdotool key Tab Up Return
  for _ in $(seq 100); do
    grep -q '^job SOUMU01 .*cmd="run-wine-test.cmd"' "$work/office.network" && break
    sleep 0.2
  done
  grep -q '^job SOUMU01 .*cmd="run-wine-test.cmd"' "$work/office.network" ||
    fail "no job was added to SOUMU01: $(grep -v '^#' "$work/office.network" | tail -3)"

  # The version box as a VNC viewer sees it: drawn, mostly NT 4's button grey.
  xdotool key alt+v
  box="$(window 'ﾊﾞｰｼﾞｮﾝ情報')" || fail "the version box did not open"
  if [ -n "$box" ]; then
    sleep 1
    # (xdotool's geometry counts the Wine desktop's offset twice.)
    read -r X Y WIDTH HEIGHT < <(xwininfo -id "$box" | awk -F: '/Absolute upper-left [XY]|Width|Height/ { printf "%d ", $2 } END { print "" }')
    port="$(x11vnc -display "$DISPLAY" -localhost -nopw -once -timeout 30 -bg -o "$work/x11vnc.log" \
      -autoport 5990 2>/dev/null | sed -n 's/^PORT=//p')"
    vncsnapshot -quiet -quality 100 -rect "${WIDTH}x${HEIGHT}+${X}+${Y}" "127.0.0.1::$port" "$work/box.jpg" \
      >/dev/null 2>&1 || fail "vncsnapshot could not read the screen from x11vnc"
    grey="$(jpegtopnm "$work/box.jpg" 2>/dev/null | ppmhist -noheader |
      awk '$1 >= 180 && $1 <= 204 && $2 >= 180 && $2 <= 204 && $3 >= 180 && $3 <= 204 { n += $5 } END { print n + 0 }')"
    [ "$grey" -ge $((WIDTH * HEIGHT * 2 / 5)) ] ||
      fail "the version box is not drawn on the screen in grey: $grey of $((WIDTH * HEIGHT)) pixels grey"
    xdotool key Escape
  fi
  xdotool key alt+x
fi
for _ in $(seq 100); do
  [ -z "$(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null)" ] && break
  sleep 0.2
done
WINEPREFIX="$root/build/mingw/wine-prefix" wineserver -k 2>/dev/null || true
wait "$run_pid" 2>/dev/null || true
run_pid=""

# A failing scenario, with the version box open: its screenshot is named in
# its line and shows the box drawn.
printf 'computer PC01\nstart\nclick 107\nexpect window DLG_VELMORA\n' >"$work/box_open.scenario"
line="$(scripts/test-wine.sh "$work/box_open.scenario" 2>/dev/null | grep '^FAIL' || true)"
picture="build/wine-screenshots/box_open-line4.png"
if [[ "$line" != *"[screen: $picture]"* ]]; then
  fail "the failure line names no screenshot: $line"
elif ! pngtopnm "$picture" 2>/dev/null | pamcut -left 380 -top 320 -width 240 -height 120 | ppmhist -noheader |
  awk 'NR > 20 { many = 1 } END { exit !many }'; then
  fail "$picture does not show the version box drawn"
fi

[ "$status" -eq 0 ] && echo "PASS: run-wine.sh on the example network, the version box on the screen, a failure's screenshot"
exit "$status"
