#!/usr/bin/env bash
# Replays the kept corpora through the fuzzers, then fuzzes each for a bounded time:
# the gateways (gateway_fuzzer, fuzz/corpus), then the multi-column paths against the
# column kernels (columns_fuzzer, fuzz/columns-corpus), each for the given seconds.
# A finding fails the run and prints its reproducer.
#   scripts/fuzz.sh [fuzz build folder] [seconds per fuzzer]      (make fuzz calls it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-60}
findings=$build/fuzz-findings
# Per input: 10 s at most; the process: 2 GiB. Huge shapes come without data, so no
# honest input comes near either.
limits=(-timeout=10 -rss_limit_mb=2048)

reproducer() {
    local fuzzer=$1 input=$2
    echo "--- $input ($(stat -c %s "$input") bytes)"
    od -A x -t x1z -v "$input"
    echo "base64: $(base64 -w0 "$input")"
    echo "replay: $fuzzer $input"
    echo "        (from this log: echo '$(base64 -w0 "$input")' | base64 -d > input; $fuzzer input)"
    echo "        ZORVAN_FUZZ_VERBOSE=1 prints the decoded input before it runs:"
    ZORVAN_FUZZ_VERBOSE=1 "$fuzzer" "${limits[@]}" "$input" 2>&1 |
        sed -n '/^Zorvan\|^restrictedMoving\|^moving\|^  #\|^  [xv] (\|^==== .*fuzzer\|^expected:\|ERROR\|runtime error\|SUMMARY/p' || true
}

# fuzzTarget <name> <fuzzer> <kept corpus> <work corpus>
fuzzTarget() {
    local name=$1 fuzzer=$2 seeds=$3 work=$4
    local log=$build/fuzz-$name.log
    [ -x "$fuzzer" ] || { echo "no fuzzer at $fuzzer: build the fuzz preset first" >&2; exit 2; }
    mkdir -p "$work"

    local seedFiles=("$seeds"/*)
    echo "Replaying ${#seedFiles[@]} $name corpus inputs"
    for input in "${seedFiles[@]}"; do
        if ! "$fuzzer" "${limits[@]}" "$input" >"$log" 2>&1; then
            tail -n 40 "$log"
            echo
            echo "==== $name fuzzer: the corpus input $input fails"
            reproducer "$fuzzer" "$input"
            exit 1
        fi
    done

    echo "Fuzzing the $name for $seconds s (log: $log)"
    rm -rf "$findings/$name"
    mkdir -p "$findings/$name"
    local status=0
    "$fuzzer" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/$name/" "$work" "$seeds" >"$log" 2>&1 || status=$?
    local artifacts=("$findings/$name"/*)
    if [ "$status" -ne 0 ] || [ -e "${artifacts[0]}" ]; then
        tail -n 60 "$log"
        echo
        echo "==== $name fuzzer: finding (exit status $status)"
        for input in "${artifacts[@]}"; do [ -e "$input" ] && reproducer "$fuzzer" "$input"; done
        exit 1
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|^stat::' "$log" || tail -n 5 "$log"
    echo "No finding in $seconds s; corpus now $(ls "$work" | wc -l) inputs in $work"
}

fuzzTarget gateways "$build/fuzz/gateway_fuzzer" fuzz/corpus "$build/fuzz-corpus"
fuzzTarget columns "$build/fuzz/columns_fuzzer" fuzz/columns-corpus "$build/columns-fuzz-corpus"
