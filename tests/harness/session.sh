#!/usr/bin/env bash
# Starts or stops what the Windows tests of one build tree share: an Xvfb
# display, one wineserver over a Wine prefix inside the tree, the test web
# server, and the certificates and hosts file for https://skins.test (a test
# CA's) and https://rogue.test (signed by nobody the system knows).
#   session.sh start|stop BUILD_DIR    (start is idempotent)
set -euo pipefail
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
state="$build/harness"
mkdir -p "$state"
exec 9>"$state/lock"
flock 9
# Daemons must not keep the lock (fd 9) or the caller's output open.
wine=/usr/lib/wine
export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }
daemon() { "$@" >>"$state/daemons.log" 2>&1 9>&- </dev/null; }
reg() { daemon "$wine/wine64" reg add "$1" /v "$2" /t REG_SZ /d "$3" /f || true; }

certificates() {
    local c="$state/certs" key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30)
    rm -rf "$c" && mkdir -p "$c/served"
    openssl req -x509 "${key[@]}" -keyout "$c/ca.key" -out "$c/ca.pem" -subj "/CN=Korvane Test CA" 2>/dev/null
    openssl req "${key[@]}" -keyout "$c/skins.key" -out "$c/skins.csr" -subj "/CN=skins.test" 2>/dev/null
    openssl x509 -req -in "$c/skins.csr" -CA "$c/ca.pem" -CAkey "$c/ca.key" -CAcreateserial -days 30 \
        -extfile <(echo "subjectAltName=DNS:skins.test") -out "$c/skins.pem" 2>/dev/null
    cat "$c/skins.pem" "$c/skins.key" >"$c/served/skins.test.pem"
    openssl req -x509 "${key[@]}" -keyout "$c/rogue.key" -out "$c/rogue.pem" -subj "/CN=rogue.test" \
        -addext "subjectAltName=DNS:rogue.test" 2>/dev/null
    cat "$c/rogue.pem" "$c/rogue.key" >"$c/served/default.pem"
    cat /etc/ssl/certs/ca-certificates.crt "$c/ca.pem" >"$c/bundle.crt"
}

start() {
    if ! alive "$state/xvfb.pid"; then
        for n in $(seq 90 189); do
            [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >>"$state/daemons.log" 2>&1 9>&- </dev/null &
            echo $! >"$state/xvfb.pid"
            for _ in $(seq 50); do DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
            DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && { echo ":$n" >"$state/display"; break; }
            rm -f "$state/xvfb.pid"
        done
        alive "$state/xvfb.pid" || { echo "session: no X display could be started" >&2; exit 1; }
    fi
    export DISPLAY=$(cat "$state/display")
    if [ ! -f "$WINEPREFIX/.korvane-ready" ]; then
        daemon "$wine/wine64" wineboot -i || true
        # "open" on a URL ends in winebrowser: make it record, not browse.
        reg 'HKCU\Software\Wine\WineBrowser' Browsers "$here/record-open.sh"
        # Xvfb has no window manager; a managed window would make Wine wait
        # two seconds for one at every show, hide and destroy.
        reg 'HKCU\Software\Wine\X11 Driver' Managed N
        # A crash must fail its test, not wait in the crash dialog.
        reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' Debugger false
        daemon "$wine/wineserver" -w
        touch "$WINEPREFIX/.korvane-ready"
    fi
    daemon "$wine/wineserver" -p || true  # one server for the whole run
    # Wine's own service processes start here, not under a test's output pipe.
    daemon "$wine/wine64" cmd /c exit || true
    if ! alive "$state/server.pid"; then
        [ -f "$state/certs/bundle.crt" ] || certificates
        rm -rf "$state/www" "$state/host" && mkdir -p "$state/www" && : >"$state/stderr.log"
        python3 "$here/server.py" "$state/www" "$state/host" "$state/certs/served" \
            >>"$state/daemons.log" 2>&1 9>&- </dev/null &
        echo $! >"$state/server.pid"
        for _ in $(seq 100); do [ -s "$state/host" ] && break; sleep 0.05; done
        [ -s "$state/host" ] || { echo "session: the test server did not start" >&2; exit 1; }
        { cat /etc/hosts; echo "$(cat "$state/host") skins.test rogue.test"; } >"$state/hosts"
    fi
}

stop() {
    [ -f "$state/display" ] && DISPLAY=$(cat "$state/display") "$wine/wineserver" -k 2>/dev/null || true
    for p in server xvfb; do
        alive "$state/$p.pid" && kill "$(cat "$state/$p.pid")" 2>/dev/null || true
        rm -f "$state/$p.pid"
    done
}

case "$1" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: session.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
