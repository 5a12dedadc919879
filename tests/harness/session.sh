#!/usr/bin/env bash
# Starts or stops what the Windows tests of one build tree share: an Xvfb
# display, one persistent wineserver over a Wine prefix inside the tree, and
# the scripted test HTTP server's control daemon.
#   session.sh start BUILD_DIR    (idempotent; prints nothing on success)
#   session.sh stop BUILD_DIR
set -euo pipefail
cmd=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
state="$build/harness"
mkdir -p "$state"
exec 9>"$state/lock"
flock 9
# Everything started below must leave fd 9 (the lock) and the caller's
# stdout/stderr behind: a daemon that kept the lock would block every later
# start or stop, and one that kept a pipe open would keep ctest or a shell
# pipeline waiting for its end.

WINELIB=/usr/lib/wine
export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

start() {
    if ! alive "$state/xvfb.pid"; then
        local n
        for n in $(seq 90 189); do
            [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 9>&- </dev/null &
            echo $! >"$state/xvfb.pid"
            for _ in $(seq 50); do
                DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
                alive "$state/xvfb.pid" || break
                sleep 0.1
            done
            if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then echo ":$n" >"$state/display"; break; fi
            rm -f "$state/xvfb.pid"
        done
        alive "$state/xvfb.pid" || { echo "session: no X display could be started" >&2; exit 1; }
    fi
    export DISPLAY=$(cat "$state/display")
    if [ ! -f "$WINEPREFIX/.korvane-ready" ]; then
        "$WINELIB/wine64" wineboot -i >"$state/wineboot.log" 2>&1 9>&- </dev/null || true
        "$WINELIB/wineserver" -w 9>&-
        # ShellExecute "open" on a URL ends in winebrowser; make it record
        # instead of looking for a real browser.
        "$WINELIB/wine64" reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ \
            /d "$here/record-open.sh" /f >/dev/null 2>&1 9>&- </dev/null || true
        # Xvfb has no window manager; a managed window would make Wine wait
        # two seconds for one at every show, hide and destroy.
        "$WINELIB/wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
            /d N /f >/dev/null 2>&1 9>&- </dev/null || true
        # A crashing test program must fail its test, not wait for someone to
        # close Wine's crash dialog (which also keeps its output pipes open).
        "$WINELIB/wine64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /t REG_SZ /d false /f >/dev/null 2>&1 9>&- </dev/null || true
        "$WINELIB/wineserver" -w 9>&-
        touch "$WINEPREFIX/.korvane-ready"
    fi
    # -p keeps one server alive for the whole run, so each test process starts fast.
    # Fails, harmlessly, when the server already runs.
    "$WINELIB/wineserver" -p >>"$state/wineserver.log" 2>&1 9>&- </dev/null || true
    # Start Wine's own service processes here, with clean descriptors, rather
    # than from the first test program, whose output pipe they would inherit.
    "$WINELIB/wine64" cmd /c exit >/dev/null 2>&1 9>&- </dev/null || true
    if ! alive "$state/testserver.pid"; then
        rm -f "$state/testserver.port"
        python3 "$here/testserver.py" --port-file "$state/testserver.port" \
            >"$state/testserver.log" 2>&1 9>&- </dev/null &
        echo $! >"$state/testserver.pid"
        for _ in $(seq 100); do [ -s "$state/testserver.port" ] && break; sleep 0.05; done
        [ -s "$state/testserver.port" ] || { echo "session: test server did not start" >&2; cat "$state/testserver.log" >&2; exit 1; }
    fi
}

stop() {
    if [ -f "$state/display" ]; then
        DISPLAY=$(cat "$state/display") "$WINELIB/wineserver" -k 2>/dev/null || true
    fi
    for p in testserver xvfb; do
        if alive "$state/$p.pid"; then kill "$(cat "$state/$p.pid")" 2>/dev/null || true; fi
        rm -f "$state/$p.pid"
    done
}

case "$cmd" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: session.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
