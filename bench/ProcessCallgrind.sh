#!/usr/bin/env bash
# Counts instructions per stereo frame of processBlock and of its floor (bare oversampler and
# curve) under callgrind, which, unlike timings on a shared machine, repeat exactly.
# Usage: bench/ProcessCallgrind.sh [BLOCK] (default 512); needs valgrind and a built build/. Takes a few
# minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

block="${1:-512}"
bench=build/bench/ostrel_process_bench
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

printf '%-7s %-6s %6s %16s %16s %8s\n' factor mode block "process Ir/frame" "floor Ir/frame" ratio
for os in 0 1 2 3; do
    for mode in 0 1 2; do
        valgrind --tool=callgrind --callgrind-out-file="$out/cg" "$bench" \
            --benchmark_filter="BM_(Process|Floor)/os:$os/mode:$mode/block:$block\$" \
            --benchmark_min_time=0.3 > /dev/null 2>&1
        callgrind_annotate --inclusive=yes --tree=caller "$out/cg" 2>/dev/null \
            | python3 -c '
import re, sys
os_, mode, block = (int(a) for a in sys.argv[1:4])
lines = sys.stdin.read().splitlines()
def per_call(name):
    # The "*" line holds the inclusive count; the "<" lines above it the calls from each caller.
    for i, line in enumerate(lines):
        if re.match(r"^\s*[\d,]+ \([ \d.]+%\)\s+\*", line) and name in line:
            total = int(line.split()[0].replace(",", ""))
            calls, j = 0, i - 1
            while j >= 0 and "<" in lines[j]:
                m = re.search(r"\(([\d,]+)x\)", lines[j])
                calls += int(m.group(1).replace(",", "")) if m else 0
                j -= 1
            return total / calls / block
    return float("nan")
p, f = per_call("OstrelAudioProcessor::processBlock("), per_call("floorBlock(")
print("%-7s %-6s %6d %16.0f %16.0f %8.3f" % ("%dx" % (1 << os_), ["Soft", "Hard", "Punch"][mode], block, p, f, p / f))
' "$os" "$mode" "$block"
    done
done
