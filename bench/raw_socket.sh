#!/usr/bin/env bash
# The raw-socket transport of the headless instrument program against a plain C line server,
# measured in one run with client and servers pinned to one CPU:
#   - the median round trip of *IDN? (raw_rtt.sh) and its ratio to the baseline server's;
#   - a write-only stream of short commands, in commands per second.
#   bench/raw_socket.sh [queries] [stream commands]
#   BENCH_BIN     directory of the built benchmark programs (default build/bench)
#   BENCH_CPU     the CPU the servers run on (default the last one)
#   BENCH_CLIENT_CPU  the CPU the clients run on (default BENCH_CPU)
#   BENCH_STREAM  the streamed command (default "CURR 1.5")
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BENCH_BIN:-build/bench}
queries=${1:-5000}
stream=${2:-200000}
cpu=${BENCH_CPU:-$(($(nproc) - 1))}
command=${BENCH_STREAM:-CURR 1.5}
clientCpu=${BENCH_CLIENT_CPU:-$cpu}
pin=(taskset -c "$cpu")
pinClient=(taskset -c "$clientCpu")

# shellcheck source=bench/instrument.sh
source bench/instrument.sh
port=$rawPort

echo "cpu       servers $cpu, clients $clientCpu"
# raw_rtt.sh starts the baseline server itself: pinned with the servers, then the clients move.
BENCH_BIN=$bin BENCH_CLIENT_PIN="${pinClient[*]}" "${pin[@]}" bash bench/raw_rtt.sh \
    "127.0.0.1:$port" "$queries"
echo "stream    $("${pinClient[@]}" "$bin/line_stream" -h 127.0.0.1 -p "$port" -n "$stream" \
    -c "$command")"
