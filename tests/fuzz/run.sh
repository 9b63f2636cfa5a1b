#!/usr/bin/env bash
# Builds the fuzz targets with clang in a build folder of their own (build-fuzz; the
# ordinary and the sanitizer builds are left alone) and runs each over its seed
# corpus for a bounded time. Fails on the first crash, sanitizer report, leak, hang or
# broken property, and keeps the input that did it in build-fuzz/fuzz-artifacts.
#
#   tests/fuzz/run.sh [SECONDS [TARGET...]]
#
# SECONDS per target (default 30); TARGETs among bridge devtools ini cmdline cp932 lists
# pipe websocket (default all). What a run finds beyond the seeds stays in a temporary
# folder: the checked-in corpus only changes by hand.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(bridge devtools ini cmdline cp932 lists pipe websocket)

build=build-fuzz
compiler=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$compiler" ]; then
    echo "fuzz: clang++ is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$compiler" -DTABULON_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
    seeds=tests/fuzz/corpus/$target
    [ -d "$seeds" ] || { echo "fuzz: no target $target" >&2; exit 1; }
    mkdir -p "$work/$target"
    log=$work/$target.log
    if ! "$build/tests/fuzz/tabulon_fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/$target-" \
        "$work/$target" "$seeds" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        mkdir -p "$build/fuzz-artifacts"
        cp "$work/$target"-* "$build/fuzz-artifacts/" 2>/dev/null || true
        echo "fuzz: $target failed; the input is in $build/fuzz-artifacts" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    echo "fuzz: $target: ${runs:-?} runs in ${seconds}s, coverage ${cov:-?}, corpus ${corp:-?}"
done
