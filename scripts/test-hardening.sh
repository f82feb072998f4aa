#!/usr/bin/env bash
# Builds and runs the sanitizer configurations of CMakePresets.json: the whole test suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the concurrency stress test under
# ThreadSanitizer, and each libFuzzer harness for a bounded time from the seed corpus it writes
# itself. FUZZ_SECONDS sets the time per fuzzer (default 60). Each configuration compiles JUCE
# once more, in its own build folder (build-asan, build-tsan).
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds="${FUZZ_SECONDS:-60}"
display=(xvfb-run -a -s "-screen 0 1920x1080x24")

step() {
    local start=$SECONDS
    echo "==> $*"
    "$@"
    echo "<== $((SECONDS - start)) s: $*"
}

step cmake --preset asan
step cmake --build --preset asan
step "${display[@]}" ctest --preset asan

step cmake --preset tsan
step cmake --build --preset tsan
step "${display[@]}" ctest --preset tsan

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

for harness in state preset_file; do
    fuzzer="build-asan/fuzz/ostrel_fuzz_$harness"
    seeds="build-asan/fuzz/seeds-$harness"
    corpus="build-asan/fuzz/corpus-$harness"
    rm -rf "$seeds" "$corpus"
    mkdir -p "$corpus"
    "$fuzzer" --write-seeds="$seeds"
    # New inputs go to the first folder; the seeds stay as the harness wrote them.
    step "${display[@]}" "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus" "$seeds"
done
