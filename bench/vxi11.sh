#!/usr/bin/env bash
# *IDN? over VXI-11 (device_write + device_read on the headless instrument's core channel)
# against the plain C line server's round trip, measured in one run with clients and servers
# pinned to one CPU; prints the median ratio (target: at most 2.5). Runs in a private network
# namespace of its own, since the VXI-11 ports are fixed.
#   bench/vxi11.sh [queries]
#   BENCH_BIN     directory of the built benchmark programs (default build/bench)
#   BENCH_CPU     the CPU everything runs on (default the last one)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${VEK_IN_NETNS:-}" != 1 ]; then
    exec tests/support/netns-run bash bench/vxi11.sh "$@"
fi
bin=${BENCH_BIN:-build/bench}
queries=${1:-5000}
cpu=${BENCH_CPU:-$(($(nproc) - 1))}
pin=(taskset -c "$cpu")

instrumentOptions=(--vxi11)
# shellcheck source=bench/instrument.sh
source bench/instrument.sh

echo "cpu       $cpu"
base=$(BENCH_BIN=$bin BENCH_CLIENT_PIN="${pin[*]}" "${pin[@]}" bash bench/raw_rtt.sh "" "$queries" |
    sed -n 's/^baseline  //p')
echo "baseline  $base"
result=$("${pin[@]}" "$bin/vxi11_rtt" -h 127.0.0.1 -p 4510 -n "$queries")
echo "vxi11     $result"
median() { sed -n 's/.* median_us \([0-9.]*\) .*/\1/p' <<<"$1"; }
awk -v t="$(median "$result")" -v b="$(median "$base")" \
    'BEGIN { printf "ratio     median vxi11/baseline %.2f (target at most 2.5)\n", t / b }'
