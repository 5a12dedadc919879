#!/usr/bin/env bash
# The emulator through which ctest runs Windows programs: joins (or starts)
# the build tree's test session and runs the program under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${KORVANE_BUILD_DIR:?KORVANE_BUILD_DIR must name the build tree}
"$here/session.sh" start "$build"
state="$build/harness"
export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=$(cat "$state/display")
export KORVANE_TEST_CONTROL="127.0.0.1:$(cat "$state/testserver.port")"
export KORVANE_SOURCE_DIR=$(cd "$here/../.." && pwd)
export KORVANE_BUILD_DIR="$build"
exec /usr/lib/wine/wine64 "$@"
