#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the conformance suite (tests/platform/conformance) on Wine's own USER32, COMCTL32 and KERNEL32, on a private Xvfb
# in a Wine virtual desktop. Prints a line for each case and the totals, as the Linux build does; exits 1 when a case
# fails.
# Usage: scripts/test-conformance-wine.sh [CASE...]   (every case by default)
# VELMORA_WINE_LOCK=FILE waits for a lock on FILE before Wine starts.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
wine_env_install >&2
wine_env_check

build="$root/build/mingw"
wine_env_take_turn "$build"
cmake --preset mingw -S "$root" >/dev/null
cmake --build "$build" --target velmora_conformance velmora_winhelp velmora_netapi32 >&2

[ -z "${VELMORA_WINE_LOCK:-}" ] || { exec 9>"$VELMORA_WINE_LOCK"; flock 9; }

wine_env_prepare "$build" >&2
wine_env_end_turn
out="$(mktemp)"
trap 'wine_env_stop; rm -f "$out"' EXIT
wine_env_own_display
# A virtual desktop activates windows without a window manager, as the scenario player's does; the cases' output goes to
# a file, which Wine programs started by explorer write as any other.
status=0
(cd "$build" && timeout 300 wine explorer /desktop=conformance,800x600 \
  velmora-conformance.exe "$@" >"$out" 2>/dev/null) || status=$?
cat "$out"
grep -q '^[0-9]* passed, 0 failed' "$out" || {
  [ "$status" -ne 0 ] || status=1
  echo "the conformance suite did not pass on Wine (status $status)" >&2
  exit 1
}
