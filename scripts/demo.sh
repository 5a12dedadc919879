#!/usr/bin/env bash
# Sets up, builds the shell and runs it on the bundled demo skin, served from
# loopback. With no X display it runs on Xvfb and saves a screenshot instead.
#   scripts/demo.sh [DOCUMENT-URL]
# KORVANE_DEMO_SECONDS sets how long it runs before the screenshot (default 6).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
build=build/win64
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build "$build" --target korvane

state=$root/build/demo
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
/usr/lib/wine/wine64 "$build/korvane.exe" "$@" &
shell=$!
sleep "${KORVANE_DEMO_SECONDS:-6}"
import -window root "$root/demo-screenshot.png"
echo "demo: no display, so the shell ran on Xvfb; screenshot saved to demo-screenshot.png"
kill "$shell" 2>/dev/null || true
