#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora and runs every test but the slow ones (ctest's label slow,
# which .ci/run runs): the unit tests and the scenarios on the stand-in, the
# real network backend against Samba's own servers (as root), the scenarios
# again through the real network backend against the fake Windows host, a
# Linux and a Wine process sharing one network file, a new user's path
# through scripts/run-wine.sh, and the scenarios on the real velmora.exe
# under Wine.
# Usage: scripts/test.sh [preset]   (linux by default; with sanitize, only the
# stand-in's tests, built under the sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# The slow cases (label slow) are left to .ci/run; so are Samba's servers
# under the sanitizers.
ctest --preset "$preset" -j"$(nproc)" -LE "$([ "$preset" = linux ] && echo slow || echo 'slow|samba')"
if [ "$preset" = linux ]; then
  scripts/test-real-network.sh
  tests/shared_network/shared_network_test.sh
  tests/run_wine/run_wine_test.sh
  scripts/test-wine.sh
fi
