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

root=$(mktemp -d)
ports=$(mktemp)
board=
instrument=
stop() {
    [ -n "$instrument" ] && { kill -TERM "$instrument" 2>/dev/null; wait "$instrument" 2>/dev/null; }
    [ -n "$board" ] && { kill -TERM "$board" 2>/dev/null; wait "$board" 2>/dev/null; }
    rm -rf "$root" "$ports"
}
trap stop EXIT

"${pin[@]}" build/sim/vek-powerboard --root "$root" &
board=$!
for _ in $(seq 100); do
    [ -S "$root/run/powerboard.ctl" ] && break
    sleep 0.1
done
"${pin[@]}" build/sim/remote/vek-remote --root "$root" --port 0 --telnet-port 0 --vxi11 >"$ports" &
instrument=$!
for _ in $(seq 100); do
    grep -q '^port ' "$ports" && break
    kill -0 "$instrument" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q '^port ' "$ports"; then
    echo "vxi11: vek-remote did not start" >&2
    exit 1
fi

echo "cpu       $cpu"
base=$(BENCH_BIN=$bin BENCH_CLIENT_PIN="${pin[*]}" "${pin[@]}" bash bench/raw_rtt.sh "" "$queries" |
    sed -n 's/^baseline  //p')
echo "baseline  $base"
result=$("${pin[@]}" "$bin/vxi11_rtt" -h 127.0.0.1 -p 4510 -n "$queries")
echo "vxi11     $result"
median() { sed -n 's/.* median_us \([0-9.]*\) .*/\1/p' <<<"$1"; }
awk -v t="$(median "$result")" -v b="$(median "$base")" \
    'BEGIN { printf "ratio     median vxi11/baseline %.2f (target at most 2.5)\n", t / b }'
