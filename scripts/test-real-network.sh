#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays every scenario of tests/scenarios/ through the real network backend,
# its computers served by tests/platform/realnet/fake_host.py over SMB on
# 127.0.0.1. (Samba's own servers are ctest's: tests/platform/realnet/samba_test.sh.)
# Usage: scripts/test-real-network.sh [SCENARIO...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target velmora-scenario realnet_tests

work=$(mktemp -d)
# The fake host ends by the signal it is sent; that is no failure of ours.
trap 'kill "${FAKE_PID:-}" 2>/dev/null || true; wait "${FAKE_PID:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A throwaway account of the fake host; the file is readable by its owner alone.
password="fake-$RANDOM$RANDOM"
(umask 077 && printf 'username=velmora\npassword=%s\ndomain=WORKGROUP\n' "$password" > "$work/credentials")
: > "$work/network"
coproc FAKE { exec /usr/bin/python3 tests/platform/realnet/fake_host.py --network "$work/network" --user velmora \
  --password "$password" 2> "$work/fake_host.log"; }
read -r _ port _ <&"${FAKE[0]}" || { echo "the fake host did not start:"; cat "$work/fake_host.log"; exit 1; }

[ $# -gt 0 ] || set -- tests/scenarios/*.scenario
build/linux/frontends/scenario/velmora-scenario --real-host="127.0.0.1:$port" --credentials="$work/credentials" \
  --network="$work/network" --privacy=none "$@"
