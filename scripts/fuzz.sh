#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, the fuzz preset) and fuzzes each for a bounded time, starting from the seed
# corpus in tests/fuzz/corpus (which is not changed: new inputs go to a scratch folder). A crash, leak, timeout or
# broken property fails the run and leaves its input in build/fuzz/findings.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (30 by default)
# VELMORA_FUZZ_SEED=N repeats a run's choices (CI uses a fixed seed, so that a run that passed passes again on the same
# code); without it each run explores anew.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
seed="${VELMORA_FUZZ_SEED:-0}"  # 0: libFuzzer picks one
scripts/install-deps.sh clang libfuzzer-14-dev libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for target in network_file scenario resources code_pages wsprintf; do
  mkdir -p "$scratch/$target"
  log="$scratch/$target.log"
  seeds=("tests/fuzz/corpus/$target")
  [ "$target" = scenario ] && seeds+=(tests/scenarios)  # the scenarios seed their parser
  if ! build/fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -artifact_prefix="$findings/$target-" -print_final_stats=1 \
      "$scratch/$target" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz_$target failed; its input is in $findings"
    exit 1
  fi
  echo "fuzz_$target: $(grep -m1 number_of_executed_units "$log" | awk '{print $2}') inputs in ${seconds}s"
done
