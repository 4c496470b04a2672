#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A Linux process (the stand-in) and a Windows process under Wine (through netapi32.dll) add jobs to one network file at
# the same time. Every job must arrive, each with its own ID; and the two must really have overlapped.
# Usage: tests/shared_network/shared_network_test.sh [JOBS PER SIDE [LINUX CLIENT]]
# (CTest names its own build's Linux client; else build/linux's is built.)
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
count="${1:-60}" linux_client="${2:-}"

. scripts/wine-env.sh
wine_env_install
wine_env_check
if [ -z "$linux_client" ]; then
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target network_client >/dev/null
  linux_client=build/linux/tests/shared_network/network_client
fi
wine_env_take_turn "$root/build/mingw"
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target network_client velmora_netapi32 >/dev/null
wine_env_prepare "$root/build/mingw"
wine_env_end_turn

work="$(mktemp -d)"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
network="$work/network"
printf 'local PC01\ncomputer PC01\n' >"$network"

# The Wine side starts first (its start-up takes the longer); the Linux side starts once the first Windows job is in.
VELMORA_NETWORK="Z:${network//\//\\}" wine "$root/build/mingw/network_client.exe" add PC01 "$count" wine \
  >"$work/wine.out" 2>&1 &
wine_pid=$!
for _ in $(seq 600); do
  grep -q '"wine-1"' "$network" 2>/dev/null && break
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.05
done
VELMORA_NETWORK="$network" "$linux_client" add PC01 "$count" linux >"$work/linux.out" 2>&1 &
linux_pid=$!
status=0
wait "$wine_pid" || { echo "FAIL: the Windows side failed: $(cat "$work/wine.out")"; status=1; }
wait "$linux_pid" || { echo "FAIL: the Linux side failed: $(cat "$work/linux.out")"; status=1; }

# The jobs in ID order, as "ID TAG".
mapfile -t jobs < <(sed -n 's/^job PC01 id=\([0-9]*\) .*cmd="\([a-z]*\)-[0-9]*"$/\1 \2/p' "$network" | sort -n)
ids=$(printf '%s\n' "${jobs[@]}" | cut -d' ' -f1 | sort -u | wc -l)
# Each job once, and no other.
wrong="$(diff <(sed -n 's/^job PC01 .*cmd="\(.*\)"$/\1/p' "$network" | sort) \
  <(for side in wine linux; do seq -f "$side-%g" "$count"; done | sort))" || true
[ -z "$wrong" ] || { echo "FAIL: the jobs are not each side's $count once:"$'\n'"$wrong"; status=1; }
[ "$ids" -eq "${#jobs[@]}" ] || { echo "FAIL: only $ids distinct IDs among ${#jobs[@]} jobs"; status=1; }
# Overlap: in ID order the writer changes more than once.
switches=0
for ((i = 1; i < ${#jobs[@]}; i++)); do
  [ "${jobs[i]#* }" = "${jobs[i - 1]#* }" ] || switches=$((switches + 1))
done
if [ "$switches" -lt 2 ]; then
  echo "FAIL: the two sides did not run at the same time (the writer changed $switches times); nothing was tested"
  status=1
fi
[ "$status" -eq 0 ] && echo "PASS: $((2 * count)) jobs from Linux and Wine at once, none lost, IDs distinct (writer changed $switches times)"
exit "$status"
