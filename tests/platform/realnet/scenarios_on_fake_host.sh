#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays scenario files through the real network backend: their computers are
# served by fake_host.py over SMB on 127.0.0.1, with a throwaway account.
# Usage: scenarios_on_fake_host.sh RUNNER SCENARIO...   (RUNNER: velmora-scenario)
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 RUNNER SCENARIO..." >&2; exit 2; }
runner=$1
shift
work=$(mktemp -d)
# The fake host ends by the signal it is sent; that is no failure of ours.
trap 'kill "${FAKE_PID:-}" 2>/dev/null || true; wait "${FAKE_PID:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# The credentials file is readable by its owner alone.
password="fake-$RANDOM$RANDOM"
(umask 077 && printf 'username=velmora\npassword=%s\ndomain=WORKGROUP\n' "$password" > "$work/credentials")
: > "$work/network"
coproc FAKE { exec /usr/bin/python3 "$(dirname "$0")/fake_host.py" --network "$work/network" --user velmora \
  --password "$password" 2> "$work/fake_host.log"; }
read -r _ port _ <&"${FAKE[0]}" || { echo "the fake host did not start:"; cat "$work/fake_host.log"; exit 1; }
"$runner" --real-host="127.0.0.1:$port" --credentials="$work/credentials" --network="$work/network" --privacy=none "$@"
