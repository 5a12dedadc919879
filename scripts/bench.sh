#!/usr/bin/env bash
# Builds the shell and the start-up benchmark as a Release build in
# build/bench and runs the benchmark under Wine: the shell on the demo skin
# served from loopback, as served and as BMP, against a plain download of the
# same files; or, with --rtt, the shell at that simulated round-trip time
# beside the same run without added delay, over http and https. The load
# average before and after is printed with it: the figures mean little on a
# busy machine.
#   scripts/bench.sh [--runs N] [--rtt MS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
build=$root/build/bench
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build "$build" -j 2 --target korvane startup_bench startup_probe
status=0
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
KORVANE_BUILD_DIR=$build KORVANE_EXE=$build/korvane.exe \
    tests/harness/wine-run.sh "$build/bench/startup_bench.exe" "$@" || status=$?
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
tests/harness/session.sh stop "$build" || true
exit $status
