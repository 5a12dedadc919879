#!/usr/bin/env bash
# Installs every Debian package that building, testing and the demo need.
# Quick when all is there: it only asks apt when something is missing.
set -euo pipefail
packages=(
    cmake ninja-build clang libclang-rt-14-dev python3 googletest
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 xvfb x11-utils xdotool imagemagick zip unzip
    openssl nsis osslsigncode 7zip nginx liblnk-utils wixl msitools
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
    # No service may start from a package: nginx's would listen on port 80 of
    # every address. The tests start their own servers, on loopback only.
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        $sudo sh -c 'printf "#!/bin/sh\nexit 101\n" >/usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d'
        trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
