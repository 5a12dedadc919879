#!/usr/bin/env bash
# Sets up, builds every target and runs every test:
#   build/win64   x86_64 Windows build; its tests run under Wine
#   build/native  the pure code with sanitizers, its tests and a short fuzz run
#   dist/         the release zips and installers (scripts/release.sh, whose
#                 Release trees build i686, the release target, as well as
#                 x86_64), checked by scripts/check_release.sh and
#                 tests/release/installers.sh
# and last prints the tests' share of the code (scripts/test_share.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
jobs=$(nproc)

configure() {  # dir, extra cmake args...
    local dir=$1; shift
    [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}
configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
configure build/native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

cmake --build build/native -j "$jobs"
cmake --build build/win64 -j "$jobs" --target all korvane
status=0
# The release zips come from Release trees of their own, kept between runs;
# they are built before the tests so that ctest's summary stays last.
release=0
{ bash scripts/release.sh && bash scripts/check_release.sh; } || release=1
[ $release -ne 0 ] || bash tests/release/installers.sh || status=1
(cd build/native && ctest --output-on-failure) || status=1
(cd build/win64 && ctest --output-on-failure) || status=1
if [ $release -ne 0 ]; then
    echo "test: the release zips failed to build or check (see above)" >&2
    status=1
fi
bash scripts/test_share.sh || status=1
exit $status
