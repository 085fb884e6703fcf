#!/usr/bin/env bash
# The HiSLIP transport of the headless instrument program against its raw socket, measured in
# one run with the instrument and the client pinned to one CPU: the median round trip of *IDN?
# over each, in interleaved rounds, and HiSLIP's as a ratio of the raw socket's (target: at
# most 1.15).
#   bench/hislip.sh [queries] [rounds]
#   BENCH_BIN  directory of the built benchmark programs (default build/bench)
#   BENCH_CPU  the CPU everything runs on (default the last one)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BENCH_BIN:-build/bench}
queries=${1:-3000}
rounds=${2:-3}
cpu=${BENCH_CPU:-$(($(nproc) - 1))}
pin=(taskset -c "$cpu")

# shellcheck source=bench/instrument.sh
source bench/instrument.sh
if [ "${hislipPort:-0}" = 0 ]; then
    echo "hislip: vek-remote serves no HiSLIP" >&2
    exit 1
fi

median() { sed -n 's/.* median_us \([0-9.]*\) .*/\1/p' <<<"$1"; }

echo "cpu       $cpu"
rawMedians=()
hislipMedians=()
for round in $(seq "$rounds"); do
    r=$("${pin[@]}" "$bin/line_rtt" -h 127.0.0.1 -p "$rawPort" -n "$queries" -q '*IDN?')
    h=$("${pin[@]}" "$bin/line_rtt" -H -h 127.0.0.1 -p "$hislipPort" -n "$queries" -q '*IDN?')
    echo "raw $round     $r"
    echo "hislip $round  $h"
    rawMedians+=("$(median "$r")")
    hislipMedians+=("$(median "$h")")
done
middle() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
awk -v h="$(middle "${hislipMedians[@]}")" -v r="$(middle "${rawMedians[@]}")" \
    'BEGIN { printf "ratio     median HiSLIP/raw socket %.2f (target at most 1.15)\n", h / r }'
