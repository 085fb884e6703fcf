# Sourced by the benchmark scripts: starts the simulated board and the headless instrument
# program, pinned with the command prefix in the array pin, every port chosen by the system,
# and stops both when the script exits; the array instrumentOptions (if set) adds options for
# vek-remote. Afterwards rawPort and hislipPort hold the ports.
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
# "port N telnet M hislip H"
"${pin[@]}" build/sim/remote/vek-remote --root "$root" --port 0 --telnet-port 0 \
    --hislip-port 0 ${instrumentOptions[@]+"${instrumentOptions[@]}"} >"$ports" &
instrument=$!
rawPort=
hislipPort=
for _ in $(seq 100); do
    rawPort=$(sed -n 's/^port \([0-9]*\) .* hislip \([0-9]*\)$/\1/p' "$ports")
    hislipPort=$(sed -n 's/^port \([0-9]*\) .* hislip \([0-9]*\)$/\2/p' "$ports")
    [ -n "$rawPort" ] && break
    kill -0 "$instrument" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$rawPort" ]; then
    echo "$(basename "$0"): vek-remote did not start" >&2
    exit 1
fi
