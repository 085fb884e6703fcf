#!/usr/bin/env bash
# Median round trip of line queries: first against the plain baseline server, then (when a
# target is given, for example the instrument's raw socket) against the target, and the
# target's median as a ratio of the baseline's, both measured in this one run.
#   bench/raw_rtt.sh [host:port] [queries]
#   BENCH_BIN    directory of the built programs (default build/bench)
#   BENCH_QUERY  the query line sent (default *IDN?)
#   BENCH_CLIENT_PIN  command prefix for the measuring client (for example "taskset -c 3")
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BENCH_BIN:-build/bench}
target=${1:-}
queries=${2:-2000}
query=${BENCH_QUERY:-*IDN?}
read -r -a clientPin <<<"${BENCH_CLIENT_PIN:-}"

out=$(mktemp)
"$bin/baseline_line_server" -p 0 >"$out" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$out"' EXIT

port=
for _ in $(seq 50); do
    port=$(sed -n 's/^port \([0-9]*\)$/\1/p' "$out")
    [ -n "$port" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "raw_rtt: the baseline server did not start" >&2
    exit 1
fi

median() { sed -n 's/.* median_us \([0-9.]*\) .*/\1/p' <<<"$1"; }

base=$("${clientPin[@]}" "$bin/line_rtt" -h 127.0.0.1 -p "$port" -n "$queries" -q "$query")
echo "baseline  $base"
if [ -n "$target" ]; then
    result=$("${clientPin[@]}" "$bin/line_rtt" -h "${target%:*}" -p "${target##*:}" -n "$queries" -q "$query")
    echo "target    $result"
    awk -v t="$(median "$result")" -v b="$(median "$base")" \
        'BEGIN { printf "ratio     median target/baseline %.2f\n", t / b }'
fi
