#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang and runs each for a bounded time over a copy of its seed
# corpus (the corpus in the repository is never changed).
#   fuzz/run.sh [seconds per target, default 30] [build dir, default build-fuzz]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-30}
build=${2:-$here/../build-fuzz}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

status=0
for target in conversions registry catalog; do
    work=$(mktemp -d)
    cp -r "$here/corpus/$target/." "$work/"
    echo "== fuzz_$target for ${seconds}s, $(ls "$here/corpus/$target" | wc -l) seeds"
    # A compiled catalog of the program's texts takes some 7 KiB.
    max_len=4096
    [ "$target" = catalog ] && max_len=16384
    if "$build/fuzz_$target" -max_total_time="$seconds" -max_len=$max_len -print_final_stats=1 \
            -artifact_prefix="$build/crash-$target-" "$work" 2>"$build/fuzz_$target.log"; then
        grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/fuzz_$target.log" || true
        echo "fuzz_$target: no failure"
    else
        status=1
        tail -n 40 "$build/fuzz_$target.log"
        echo "fuzz_$target: FAILED (input saved under $build/crash-$target-*)"
    fi
    rm -rf "$work"
done
exit $status
