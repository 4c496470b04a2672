#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora against the stand-in and runs it in this terminal, on the
# network named by $VELMORA_NETWORK or else the default one of this machine.
# Only what running needs is installed and built (no tests); the real network
# module and Samba's client libraries only when the network names a real
# computer.
set -euo pipefail
cd "$(dirname "$0")/.."
network="${VELMORA_NETWORK:-${XDG_STATE_HOME:-${HOME:-}/.local/state}/velmora/network}"
realnet=OFF
if [ -f "$network" ] && grep -Eq '^[[:space:]]*computer[[:space:]].*[[:space:]]real([[:space:]]|$)' "$network"; then
  realnet=ON
fi
if [ "$realnet" = ON ]; then scripts/install-deps.sh --run --realnet; else scripts/install-deps.sh --run; fi
cmake --preset run -DVELMORA_REALNET="$realnet" >/dev/null
targets=(velmora)
[ "$realnet" = OFF ] || targets+=(velmora_realnet)
cmake --build --preset run --target "${targets[@]}"
exec build/run/frontends/terminal/velmora "$@"
