#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora and runs every test but the slow ones (ctest's label slow,
# which .ci/run runs): the unit tests and the scenarios on the stand-in, the
# scenarios again through the real network backend against the fake Windows
# host, and the scenarios on the real velmora.exe under Wine. CTest holds the
# cases that need root (two users sharing a file, a read-only mount, Samba's
# own servers; they fail, not skip, without it) and those that run Wine (a
# Linux and a Wine process sharing one network file, a new user's path
# through scripts/run-wine.sh, the conformance cases on Wine's DLLs).
# Usage: scripts/test.sh [preset]   (linux by default; with sanitize, only the
# stand-in's tests, built under the sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
if [ "$preset" = linux ]; then
  # Every CTest case but the slow ones, with those labelled root and wine.
  ctest --preset "$preset" -j"$(nproc)" -LE slow
  scripts/test-wine.sh
else
  # Under the sanitizers: neither Wine nor Samba's servers, nor the slow cases.
  ctest --preset "$preset" -j"$(nproc)" -LE '^(wine|samba|slow)$'
fi
