#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real network backend's tests against the fake host: with no SCENARIO, its CTest cases (label realnet: the
# backend's own tests and every scenario of tests/scenarios/ played through it; Samba's own servers and the slow cases
# are CTest's labels samba and slow); with SCENARIOs, those alone.
# Usage: scripts/test-real-network.sh [SCENARIO...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target velmora-scenario realnet_tests
if [ $# -gt 0 ]; then
  exec tests/platform/realnet/scenarios_on_fake_host.sh build/linux/frontends/scenario/velmora-scenario "$@"
fi
ctest --preset linux -L '^realnet$' -LE '^(samba|slow)$'
