#!/usr/bin/env bash
# Builds the release packages from this tree with CPack (cmake/packaging.cmake)
# and wixl (scripts/lib/msi.sh):
#   dist/korvane-VERSION-win32.zip, -win32-setup.exe, -win32.msi   i686, the release target
#   dist/korvane-VERSION-win64.zip, -win64-setup.exe, -win64.msi   x86_64
# A zip holds, under one folder korvane-VERSION-ARCH/: korvane.exe and
# korvane-check.exe (Release builds, stripped), demo/skin/, docs/, LICENSE and
# README.md. An installer installs the programs, docs/ and LICENSE for the
# current user, an MSI the same for all users of the machine. VERSION is the
# one in CMakeLists.txt's project().
#   scripts/release.sh [--sign CERT.pfx --password-file FILE [--timestamp URL]]
# With --sign the programs, installers, uninstallers and MSIs are
# Authenticode-signed.
# Build trees build/release-win32 and build/release-win64 are kept and reused.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
prog=release
source scripts/lib/packaging.sh

while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || die "$1 needs a value"
    sign_option "$1" "$2" || die "unknown option $1 (usage: release.sh [--sign CERT.pfx --password-file FILE [--timestamp URL]])"
    shift 2
done
bash scripts/setup.sh
check_signing
lock_release_trees

mkdir -p dist
for arch in win32 win64; do
    release_tree "$arch"
    out=$root/build/release-$arch/packages
    run_cpack "$arch" "ZIP;NSIS" "$out"
    make_msi "$arch" "$out/korvane-$version-$arch.msi"
    for file in "korvane-$version-$arch.zip" "korvane-$version-$arch-setup.exe" "korvane-$version-$arch.msi"; do
        cp "$out/$file" dist/
        echo "release: dist/$file"
    done
done
signing_note
