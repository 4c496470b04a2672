#!/usr/bin/env bash
# Builds Velmora against the stand-in and runs every test (unit tests and
# scenarios). Usage: scripts/test.sh [preset]   (linux by default; sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j"$(nproc)"
