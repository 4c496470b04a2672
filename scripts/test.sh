#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora and runs every test but the slow ones (ctest's label slow, which .ci/run runs): CTest's cases (the unit
# tests, the scenarios on the stand-in and through the real network backend against the fake Windows host, those that
# need root, which fail without it, and those that run Wine), and meanwhile the scenarios on the real velmora.exe under
# Wine, whose report follows CTest's.
# Usage: scripts/test.sh [preset]   (linux by default; with sanitize, only the
# stand-in's tests, built under the sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
if [ "$preset" = linux ]; then
  # The Wine run mostly waits on real time (a pending service's start-up) and Wine's windows, so it plays beside CTest.
  # CTest starts once the Wine run has its turn on the Windows build and the Wine prefix, so that CTest's own Wine cases
  # start their sessions in that prefix only after it has copied the prefix for its lanes.
  wine_log="$(mktemp)"
  ready="$wine_log.ready"
  VELMORA_WINE_READY="$ready" scripts/test-wine.sh >"$wine_log" 2>&1 &
  wine_pid=$!
  trap 'kill "$wine_pid" 2>/dev/null || true; rm -f "$wine_log" "$ready"' EXIT
  while [ ! -e "$ready" ] && kill -0 "$wine_pid" 2>/dev/null; do sleep 1; done
  ctest_status=0
  ctest --preset "$preset" -j"$(nproc)" -LE slow || ctest_status=$?
  wine_status=0
  wait "$wine_pid" || wine_status=$?
  cat "$wine_log"
  [ "$ctest_status" -eq 0 ] && [ "$wine_status" -eq 0 ]
else
  ctest --preset "$preset" -j"$(nproc)" -LE '^(wine|samba|slow)$'
fi
