#!/usr/bin/env bash
# Sets up, builds the shell and runs it on the bundled demo skin, served from
# loopback. With no X display it runs on Xvfb and saves a screenshot of the
# shell's main window instead, failing if that window never shows.
#   scripts/demo.sh [DOCUMENT-URL]
# KORVANE_DEMO_SECONDS: how long to wait for the main window (default 120).
# KORVANE_DEMO_STATE: folder of the Wine prefix and logs (default build/demo).
# KORVANE_DEMO_SCREENSHOT: the picture's path (default demo-screenshot.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
build=build/win64
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build "$build" --target korvane

state=${KORVANE_DEMO_STATE:-$root/build/demo}
screenshot=${KORVANE_DEMO_SCREENSHOT:-$root/demo-screenshot.png}
mkdir -p "$state"
pids=()
cleanup() {
    WINEPREFIX="$state/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

python3 demo/serve.py >"$state/server.log" 2>&1 &
pids+=($!)

export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
headless=false
if [ -z "${DISPLAY:-}" ]; then
    headless=true
    for n in $(seq 120 180); do [ -e "/tmp/.X$n-lock" ] || break; done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
[ -d "$WINEPREFIX" ] || /usr/lib/wine/wine64 wineboot -i >"$state/wineboot.log" 2>&1 || true
sleep 0.5

if ! $headless; then
    exec /usr/lib/wine/wine64 "$build/korvane.exe" "$@"
fi
/usr/lib/wine/wine64 "$build/korvane.exe" "$@" >"$state/shell.log" 2>&1 &
shell=$!
pids+=($shell)

# The splash shows first, the main window (titled with the document's
# APP_TITLE) once the skin is loaded; in a new Wine prefix that takes many
# seconds longer than later. The title of the demo's own document is known;
# another document's window is any but the splash and an error box.
title=""
[ $# -gt 0 ] || title=$(sed -n 's:.*<APP_TITLE>\(.*\)</APP_TITLE>.*:\1:p' demo/skin/korvane.xml)
shown() {  # the title of the first visible shell window other than the splash
    local id name
    for id in $(xdotool search --onlyvisible --classname '^korvane\.exe$' 2>/dev/null); do
        name=$(xdotool getwindowname "$id" 2>/dev/null) || continue
        [ "$name" = "Korvane Loader" ] || { echo "$name"; return 0; }
    done
    return 1
}
fail() {
    import -window root "$screenshot" 2>/dev/null || true
    echo "demo: $* (screenshot of the screen saved to $screenshot; logs in $state)" >&2
    exit 1
}
limit=${KORVANE_DEMO_SECONDS:-120}
deadline=$((SECONDS + limit))
while :; do
    if window=$(shown); then
        [ "$window" != Korvane ] || fail "the shell shows an error box instead of its main window"
        [ -n "$title" ] && [ "$window" != "$title" ] || break
    fi
    kill -0 "$shell" 2>/dev/null || fail "the shell ended before its main window showed"
    [ $SECONDS -lt $deadline ] || fail "the shell's main window did not show within $limit s"
    sleep 0.25
done
sleep 1  # lets the window paint its skin and buttons
import -window root "$screenshot"
echo "demo: no display, so the shell ran on Xvfb; its window \"$window\" is in $screenshot"
