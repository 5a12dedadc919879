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
# Where record-open.sh writes what the shell handed to the "open" verb. Wine
# gives the Unix programs it starts its own Unix environment, not the Windows
# environment block a test passes to a child, so the place is fixed here, once
# per build tree.
export KORVANE_OPEN_LOG_DIR="${KORVANE_OPEN_LOG_DIR:-$state/opened}"
mkdir -p "$KORVANE_OPEN_LOG_DIR"
exec /usr/lib/wine/wine64 "$@"
