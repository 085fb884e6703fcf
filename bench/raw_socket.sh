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
"${pin[@]}" build/sim/remote/vek-remote --root "$root" --port 0 --telnet-port 0 \
    --hislip-port 0 >"$ports" &
instrument=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^port \([0-9]*\) .*$/\1/p' "$ports")
    [ -n "$port" ] && break
    kill -0 "$instrument" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "raw_socket: vek-remote did not start" >&2
    exit 1
fi

echo "cpu       servers $cpu, clients $clientCpu"
# raw_rtt.sh starts the baseline server itself: pinned with the servers, then the clients move.
BENCH_BIN=$bin BENCH_CLIENT_PIN="${pinClient[*]}" "${pin[@]}" bash bench/raw_rtt.sh \
    "127.0.0.1:$port" "$queries"
echo "stream    $("${pinClient[@]}" "$bin/line_stream" -h 127.0.0.1 -p "$port" -n "$stream" \
    -c "$command")"
