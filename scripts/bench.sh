#!/usr/bin/env bash
# Builds the shell and the start-up benchmark as a Release build in
# build/bench and runs the benchmark under Wine: the shell on the demo skin
# served from loopback, against a plain download of the same files.
#   scripts/bench.sh [--runs N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
build=$root/build/bench
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build "$build" --target korvane startup_bench
status=0
KORVANE_BUILD_DIR=$build KORVANE_EXE=$build/korvane.exe \
    tests/harness/wine-run.sh "$build/tests/startup_bench.exe" "$@" || status=$?
tests/harness/session.sh stop "$build" || true
exit $status
