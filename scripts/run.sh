#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora against the stand-in and runs it in this terminal, on the
# network named by $VELMORA_NETWORK or else the default one of this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target velmora
exec build/linux/frontends/terminal/velmora "$@"
