#!/usr/bin/env bash
# The headless instrument program's start-up time to its first *IDN? answer and its resident
# memory after queries over every transport (see bench_RemoteStartup.cpp); runs in a private
# network namespace of its own, since the instrument's ports are fixed.
#   bench/remote_startup.sh [queries [usbtmc-queries]]   (default 10000 and 300)
#   BENCH_BIN  directory of the built benchmark programs (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${VEK_IN_NETNS:-}" != 1 ]; then
    exec tests/support/netns-run bash bench/remote_startup.sh "$@"
fi
exec "${BENCH_BIN:-build/bench}/bench_RemoteStartup" "$@"
