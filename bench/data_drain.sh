#!/usr/bin/env bash
# Draining the record logger with DATA:R? over the raw socket, as a share of the loopback
# bandwidth of the same request and answer pattern measured in the same run: the logger is
# filled with 65,536 one-item records by an acquisition on the simulated board, then emptied
# with "DATA:R?;*OPC?" in blocks; the baseline is the plain C line server answering every
# request with an answer of the same size, for the same number of requests. Each side runs three
# times (a fill of the logger before each drain) and its best run counts, since one drain lasts
# only milliseconds. Target: >= 0.50.
#   bench/data_drain.sh
#   BENCH_BIN  directory of the built benchmark programs (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BENCH_BIN:-build/bench}
records=65536
pin=()

# shellcheck source=bench/instrument.sh
source bench/instrument.sh

ask() {
    printf '%s\n' "$1" >&3
    local reply
    IFS= read -r -t 120 reply <&3
    printf '%s' "$reply"
}
mbps() { sed -n 's/.* mbps \([0-9.]*\)$/\1/p' <<<"$1"; }
# The run of the highest throughput among the result lines on standard input.
best() { sort -t' ' -k10 -g | tail -n 1; }

runs=3
drains=()
for _ in $(seq "$runs"); do
    exec 3<>"/dev/tcp/127.0.0.1/$rawPort"
    fill=$(ask "*CLS;:DATA:FORM CURR;BSIZ $records;:TRIG:ACQ:SOUR IMM;COUN $records;INT:TIME 0.0002;INT:STAT ON;:SENS:APER 0.0002;:INIT:ACQ;*OPC?")
    held=$(ask "DATA:POIN?")
    exec 3>&-
    if [ "$fill" != "1" ] || [ "$held" != "+$records" ]; then
        echo "data_drain: the logger holds $held records, not $records" >&2
        exit 1
    fi
    drain=$("$bin/drain_client" -h 127.0.0.1 -p "$rawPort")
    values=$(sed -n 's/.* values \([0-9]*\) .*/\1/p' <<<"$drain")
    if [ "$values" != "$records" ]; then
        echo "data_drain: drained $values values, not $records" >&2
        exit 1
    fi
    drains+=("$drain")
done
target=$(printf '%s\n' "${drains[@]}" | best)
echo "target    $target"
replies=$(sed -n 's/^replies \([0-9]*\) .*/\1/p' <<<"$target")

# The baseline's answer: as many values as the instrument's largest answer carried.
perReply=$(( (records + replies - 1) / replies ))
reply=$(printf '+1.23456E+00,%.0s' $(seq "$perReply"))
reply="${reply%,};1"
out=$(mktemp)
"$bin/baseline_line_server" -p 0 -r "$reply" >"$out" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$out"; stop' EXIT
port=
for _ in $(seq 50); do
    port=$(sed -n 's/^port \([0-9]*\)$/\1/p' "$out")
    [ -n "$port" ] && break
    sleep 0.1
done
base=$(for _ in $(seq "$runs"); do "$bin/drain_client" -h 127.0.0.1 -p "$port" -n "$replies"; done | best)
echo "baseline  $base"
awk -v t="$(mbps "$target")" -v b="$(mbps "$base")" \
    'BEGIN { printf "ratio     throughput target/baseline %.2f (target >= 0.50)\n", t / b }'
