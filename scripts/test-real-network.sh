#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real network backend's tests: with no SCENARIO, its CTest cases (label
# realnet: the backend against the fake host, and every scenario of
# tests/scenarios/ played through it), then against Samba's smbd and a Samba
# domain controller (tests/platform/realnet/samba_test.sh, as root); with
# SCENARIOs, those alone through the backend against the fake host.
# Usage: scripts/test-real-network.sh [SCENARIO...]
set -euo pipefail
cd "$(dirname "$0")/.."
# samba for smbd, wireshark-common for dumpcap's loopback capture, the
# domain controller's packages, MIT's kinit and faketime for a clock set ahead.
scripts/install-deps.sh samba wireshark-common samba-dsdb-modules samba-ad-provision winbind krb5-user faketime
cmake --preset linux >/dev/null
cmake --build --preset linux --target velmora-scenario realnet_tests
if [ $# -gt 0 ]; then
  exec tests/platform/realnet/scenarios_on_fake_host.sh build/linux/frontends/scenario/velmora-scenario "$@"
fi
ctest --preset linux -L '^realnet$'
$([ "$(id -u)" -eq 0 ] || echo sudo) tests/platform/realnet/samba_test.sh build/linux
