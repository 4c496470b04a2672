#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora and runs every test but the slow ones (ctest's label slow, which .ci/run runs): CTest's cases (the unit
# tests, the scenarios on the stand-in and through the real network backend against the fake Windows host, those that
# need root, which fail without it, and those that run Wine), then the scenarios on the real velmora.exe under Wine.
# Usage: scripts/test.sh [preset]   (linux by default; with sanitize, only the
# stand-in's tests, built under the sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
if [ "$preset" = linux ]; then
  ctest --preset "$preset" -j"$(nproc)" -LE slow
  scripts/test-wine.sh
else
  ctest --preset "$preset" -j"$(nproc)" -LE '^(wine|samba|slow)$'
fi
