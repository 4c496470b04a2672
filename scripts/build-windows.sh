#!/usr/bin/env bash
# Cross-builds velmora.exe with MinGW-w64 and checks what it imports and carries.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
