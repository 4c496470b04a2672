#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays scenario files against the real velmora.exe under Wine, with the simulated network's netapi32.dll beside it: the
# second witness to the stand-in. Builds the exe, the DLL and the player (mingw preset), runs on private Xvfbs, and ends
# with "N passed, N failed" (exit 0, 1, or 2 for a file that could not be read or parsed).
# Usage: scripts/test-wine.sh [SCENARIO...]   (every tests/scenarios/*.scenario by default)
# VELMORA_WINE_JOBS=N plays N batches at a time, each lane in a prefix of its own (default 4).
# VELMORA_WINE_READY=FILE is made once this script has its turn on build/mingw and the prefix: the other scripts' Wine
# cases then wait until it has built there and copied the prefix for its lanes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Each file by its full path, which the player needs.
paths=("$root"/tests/scenarios/*.scenario)
[ $# -eq 0 ] || mapfile -t paths < <(realpath -m -- "$@")

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
wine_env_install
wine_env_check

build="$root/build/mingw"

# The player's settings (scripts/wine-player.reg) go into copies of the prefix, one a lane, each with its own Wine
# server, so that batches play side by side; the prefix that scripts/run-wine.sh uses stays as it is.
setup="$root/scripts/wine-player.reg"

jobs="${VELMORA_WINE_JOBS:-4}"
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || jobs=1
lane_prefix() { echo "$build/wine-prefix-scenarios$1"; }
# Copies the prefix for lane $1 when its copy is missing, older than the prefix, or of other settings.
copy_lane_prefix() {
  local copy
  copy="$(lane_prefix "$1")"
  if [ ! -f "$copy/.velmora-ready" ] || ! cmp -s "$copy/.velmora-player.reg" "$setup" ||
    [ "$WINEPREFIX/.velmora-ready" -nt "$copy/.velmora-ready" ]; then
    rm -rf "$copy"
    cp -a "$WINEPREFIX" "$copy"
    WINEPREFIX="$copy" wine regedit /S "Z:${setup//\//\\}" >&2
    WINEPREFIX="$copy" wineserver -w
    cp "$setup" "$copy/.velmora-player.reg"
    touch "$copy/.velmora-ready"
  fi
}

# The files play in batches, one Wine server and one player for a batch (each file still starts the program afresh). A
# file whose service stays pending after its start (`pending=`) waits in real time, up to a minute under Wine: each such
# file is a batch of its own and starts first, so that it does not hold up the end. A batch of the others takes every
# so-many-th file, so that files of one subject fall in different batches.
batch_size=4 batches=() rest=()
for ((i = 0; i < ${#paths[@]}; i++)); do
  if grep -q '^service [^ ]* .*pending=' "${paths[i]}" 2>/dev/null; then batches+=("$i"); else rest+=("$i"); fi
done
alone=${#batches[@]}
batch_count=$(((${#rest[@]} + batch_size - 1) / batch_size))
for ((k = 0; k < ${#rest[@]}; k++)); do
  b=$((alone + k % batch_count))
  batches[b]+="${batches[b]:+ }${rest[k]}"
done

[ "${#batches[@]}" -lt "$jobs" ] && jobs="${#batches[@]}"

wine_env_take_turn "$build"
[ -z "${VELMORA_WINE_READY:-}" ] || touch "$VELMORA_WINE_READY"
cmake --preset mingw -S "$root" >/dev/null
cmake --build "$build" -j2
wine_env_prepare "$build"
# The lanes' prefixes are copied within this turn: another script's Wine session in the prefix starts after a turn.
for ((lane = 0; lane < jobs; lane++)); do copy_lane_prefix "$lane"; done
wine_env_end_turn
work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-wine.XXXXXX")"
# A failing file leaves pictures of the screen and of the program's windows here, named in its line.
screenshots="$root/build/wine-screenshots"
rm -rf "$screenshots"
mkdir -p "$screenshots"
export VELMORA_SCREENSHOTS="Z:${screenshots//\//\\}"
# Each lane ends its own Wine server; the prefix's own may serve another script's cases meanwhile.
trap 'wine_env_stop_displays; rm -rf "$work"' EXIT

# Plays batch $2 in lane $1; each file's line goes to $work/result.N.raw.
play() {
  local lane="$1" batch="$2" out="$work/batch.$2"
  local -a indexes files
  read -r -a indexes <<<"${batches[$batch]}"
  for i in "${indexes[@]}"; do files+=("${paths[$i]}"); done
  (
    export WINEPREFIX DISPLAY="${displays[$lane]}"
    WINEPREFIX="$(lane_prefix "$lane")"
    local clock="$work/clock.$lane" relay="$work/relay.$lane"
    wine_env_fake_clock "$clock"
    export VELMORA_RELAY_LOG="$relay"
    # No debugger on a crash: the program ends and the player reports its exception code with the last action.
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe=d"
    : >"$relay"
    cd "$build"
    status=0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    timeout $((240 * ${#files[@]})) bash -c \
      'source "$0/scripts/wine-env.sh"; wine_env_start_help_viewer --stay && exec wine velmora-scenario.exe "$@"' \
      "$root" "${files[@]}" >"$out.raw" 2>>"$relay" || status=$?
    wineserver -k 2>/dev/null || true
    local cut_short=""
    for i in "${indexes[@]}"; do
      local path="${paths[$i]}" line
      line="$(grep -a -m1 -F -e "PASS $path" -e "FAIL $path:" -e "SKIP $path:" "$out.raw" || true)"
      if [ -z "$line" ] && [ -z "$cut_short" ]; then
        # The player prints a line for every file it ends, even as it fails itself: this is the file it was playing when
        # it was stopped. Its last words on standard error (past Wine's relay lines) name the line and the last action,
        # or why it stopped.
        cut_short=1
        why="$(grep -av '^[0-9a-f]\{4\}:' "$relay" | tail -1 || true)"
        at=0 && [[ "$why" =~ ^velmora-scenario:\ line\ ([0-9]+):\ (.*)$ ]] && at="${BASH_REMATCH[1]}" why="after ${BASH_REMATCH[2]}"
        if [ "$status" -eq 124 ]; then ended="did not finish in time"; else ended="ended (status $status)"; fi
        line="FAIL $path:$at: the Wine player $ended, ${why:-before its first action}"
      elif [ -z "$line" ]; then
        line="FAIL $path:0: the Wine player ended before this file"
      fi
      echo "$line" >"$work/result.$i.raw"
      echo "$status" >"$work/result.$i.status"
    done
  ) 2>"$out.err" || true
}

total_started=$SECONDS next=0
# Each lane on an X display of its own: one lane's Wine desktop would cover
# the other's on a shared screen, and take its focus.
displays=()
for ((lane = 0; lane < jobs; lane++)); do wine_env_own_display; displays+=("$DISPLAY"); done
declare -A running=()
while [ "$next" -lt "${#batches[@]}" ] || [ "${#running[@]}" -gt 0 ]; do
  for ((lane = 0; lane < jobs; lane++)); do
    if [ -z "${running[$lane]:-}" ] && [ "$next" -lt "${#batches[@]}" ]; then
      play "$lane" "$next" &
      running[$lane]="$!"
      next=$((next + 1))
    fi
  done
  sleep 0.2
  for lane in "${!running[@]}"; do
    kill -0 "${running[$lane]}" 2>/dev/null || { wait "${running[$lane]}" || true; unset "running[$lane]"; }
  done
done

passed=0 failed=0 unreadable=0
for ((i = 0; i < ${#paths[@]}; i++)); do
  line="$(cat "$work/result.$i.raw")"
  echo "${line//"$root/"/}"
  # A file that says "stand-in only" is listed with its reason, not played.
  case "$line" in
    PASS*) passed=$((passed + 1)) ;;
    SKIP*) ;;
    *) failed=$((failed + 1)) ;;
  esac
  [ "$(cat "$work/result.$i.status")" -ne 2 ] || unreadable=1
done
echo "Wine: ${#paths[@]} files in $((SECONDS - total_started)) s, $jobs at a time"
echo "$passed passed, $failed failed"
[ "$unreadable" -eq 0 ] || exit 2
[ "$failed" -eq 0 ] || exit 1
