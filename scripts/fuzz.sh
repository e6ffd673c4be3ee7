#!/usr/bin/env bash
# Builds the fuzz targets and runs each for FUZZ_SECONDS (default 30) from its seed corpus in
# fuzz/corpus/<target>. A crash or a broken property fails the run; libFuzzer keeps the input
# as build/fuzz/artifacts/<target>/crash-* and its log as build/fuzz/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh clang libclang-rt-14-dev
seconds=${FUZZ_SECONDS:-30}
cmake --preset fuzz
cmake --build --preset fuzz --parallel "$(nproc)"

# Long enough for a file of many lines and for values past the reader's 100-byte limit.
declare -A max_len=([fuzz_stored_forms]=512 [fuzz_load_params]=4096 [fuzz_save_params]=4096)

status=0
for target in fuzz_stored_forms fuzz_load_params fuzz_save_params; do
    corpus=build/fuzz/corpus/$target
    artifacts=build/fuzz/artifacts/$target
    log=build/fuzz/$target.log
    mkdir -p "$corpus" "$artifacts"
    # New inputs go to the first folder, so the seeds in the source tree stay as they are.
    if build/fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" fuzz/corpus/"$target" >"$log" 2>&1; then
        result=passed
    else
        result=FAILED
        status=1
        tail -n 60 "$log"
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: $result after ${executions:-?} executions (limit ${seconds} s)"
done
exit "$status"
