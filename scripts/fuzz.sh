#!/usr/bin/env bash
# Replays the kept corpus through the gateway fuzzer, then fuzzes for a bounded time.
# A finding fails the run and prints its reproducer.
#   scripts/fuzz.sh [fuzz build folder] [seconds]      (make fuzz calls it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-60}
fuzzer=$build/fuzz/gateway_fuzzer
seeds=fuzz/corpus
work=$build/fuzz-corpus     # what fuzzing adds; kept between local runs, never committed
findings=$build/fuzz-findings
log=$build/fuzz.log
# Per input: 10 s at most; the process: 2 GiB. Huge shapes come without data, so no
# honest input comes near either.
limits=(-timeout=10 -rss_limit_mb=2048)

reproducer() {
    local input=$1
    echo "--- $input ($(stat -c %s "$input") bytes)"
    od -A x -t x1z -v "$input"
    echo "base64: $(base64 -w0 "$input")"
    echo "replay: $fuzzer $input"
    echo "        (from this log: echo '$(base64 -w0 "$input")' | base64 -d > input; $fuzzer input)"
    echo "        ZORVAN_FUZZ_VERBOSE=1 prints the decoded call before it runs:"
    ZORVAN_FUZZ_VERBOSE=1 "$fuzzer" "${limits[@]}" "$input" 2>&1 |
        sed -n '/^Zorvan\|^  #\|^==== gateway fuzzer\|^expected:\|ERROR\|runtime error\|SUMMARY/p' || true
}

[ -x "$fuzzer" ] || { echo "no fuzzer at $fuzzer: build the fuzz preset first" >&2; exit 2; }
mkdir -p "$work"
rm -rf "$findings"
mkdir -p "$findings"

seedFiles=("$seeds"/*)
echo "Replaying ${#seedFiles[@]} corpus inputs"
for input in "${seedFiles[@]}"; do
    if ! "$fuzzer" "${limits[@]}" "$input" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo
        echo "==== gateway fuzzer: the corpus input $input fails"
        reproducer "$input"
        exit 1
    fi
done

echo "Fuzzing both gateways for $seconds s (log: $log)"
status=0
"$fuzzer" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1 || status=$?
artifacts=("$findings"/*)
if [ "$status" -ne 0 ] || [ -e "${artifacts[0]}" ]; then
    tail -n 60 "$log"
    echo
    echo "==== gateway fuzzer: finding (exit status $status)"
    for input in "${artifacts[@]}"; do [ -e "$input" ] && reproducer "$input"; done
    exit 1
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|^stat::' "$log" || tail -n 5 "$log"
echo "No finding in $seconds s; corpus now $(ls "$work" | wc -l) inputs in $work"
