#!/usr/bin/env bash
# The emulator through which ctest runs Windows programs: joins (or starts)
# the build tree's test session and runs the program under Wine, in a mount
# namespace of its own whose hosts file names the test server skins.test and
# rogue.test and whose certificate bundle trusts the test CA. Nothing outside
# the namespace sees either.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${KORVANE_BUILD_DIR:?KORVANE_BUILD_DIR must name the build tree}" && pwd)
"$here/session.sh" start "$build"
state="$build/harness"
export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=$(cat "$state/display")
export KORVANE_TEST_HOST=$(cat "$state/host")
export KORVANE_SOURCE_DIR=$(cd "$here/../.." && pwd)
export KORVANE_BUILD_DIR="$build"
# Where record-open.sh notes what the shell handed to the "open" verb. Wine
# gives the Unix programs it starts its own environment, so the place is fixed
# here, once per build tree.
export KORVANE_OPEN_LOG_DIR="$state"
# Wine writes the debug strings of every program the tests start to its error
# output, so that is kept in a log the tests read.
exec unshare -m sh -c 'mount --bind "$1" /etc/hosts && mount --bind "$2" /etc/ssl/certs/ca-certificates.crt &&
    shift 2 && exec /usr/lib/wine/wine64 "$@"' namespace "$state/hosts" "$state/certs/bundle.crt" "$@" \
    2>>"$state/stderr.log"
