#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for SECONDS each, seeded with generated
# recordings; fails when any target reports a finding (a crash, a sanitizer report, a failed
# check, an input that takes over 10 s). Findings go to BUILD/fuzz-findings.
#
#   fuzz/run_fuzzers.sh BUILD SECONDS [TARGET...]      TARGET: options, normaliser, ...
set -euo pipefail
build=$1
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(options normaliser classifier bit_readers sound_reader container program_finder)

seeds=$build/fuzz-seeds
findings=$build/fuzz-findings
mkdir -p "$seeds" "$findings"
"$build/bin/make_fuzz_seeds" "$seeds"

failed=()
for target in "${targets[@]}"; do
    corpus=$build/fuzz-corpus/$target
    mkdir -p "$corpus"
    echo "=== $target: ${seconds}s"
    if ! "$build/bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$corpus" "$seeds/$target" \
        >"$build/fuzz-$target.log" 2>&1; then
        failed+=("$target")
        tail -n 40 "$build/fuzz-$target.log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$build/fuzz-$target.log" || true
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found defects in: ${failed[*]} (inputs in $findings)"
    exit 1
fi
echo "fuzzing: no findings"
