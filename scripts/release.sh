#!/usr/bin/env bash
# Builds the release zips from this tree:
#   dist/korvane-VERSION-win32.zip   i686 (the release target)
#   dist/korvane-VERSION-win64.zip   x86_64
# Each holds, under one folder korvane-VERSION-ARCH/: korvane.exe and
# korvane-check.exe (Release builds, stripped), demo/skin/, docs/, LICENSE and
# README.md. VERSION is the one in CMakeLists.txt's project().
# Build trees build/release-win32 and build/release-win64 are kept and reused.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

die() { echo "release: $*" >&2; exit 1; }

# Two runs at once (scripts/test.sh started twice) would configure and stage
# in the same trees; the second waits for the first.
mkdir -p build
exec 8>build/release.lock
flock 8

version=$(sed -n 's/^project(Korvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"
jobs=$(nproc)

# The executable a target produces, as ninja knows it (the checker may live
# in a folder of its own inside the tree).
target_file() {  # build dir, target
    ninja -C "$1" -t query "$2" 2>/dev/null | awk '/^  input:/ {f=1; next} /^  outputs:/ {f=0} f && /\.exe$/ {print $1; exit}'
}

build_arch() {  # arch name, cpu
    local arch=$1 cpu=$2
    local dir=build/release-$arch
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF \
            -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$cpu.cmake" >/dev/null
    else
        # Picks up new source files and a changed version.
        cmake "$dir" >/dev/null
    fi
    # No release without the checker: say so rather than ship half of it.
    ninja -C "$dir" -t targets all 2>/dev/null | grep -q '^korvane-check:' ||
        die "$dir has no korvane-check target; the skin checker must be part of the build before a release"
    cmake --build "$dir" -j "$jobs" --target korvane korvane-check

    local name=korvane-$version-$arch
    local stage=$dir/stage
    rm -rf "$stage"
    mkdir -p "$stage/$name/demo/skin" "$stage/$name/docs"
    local exe out
    for exe in korvane korvane-check; do
        out=$(target_file "$dir" "$exe")
        [ -n "$out" ] && [ -f "$dir/$out" ] || die "$dir: no file built for $exe"
        "$cpu-w64-mingw32-strip" -o "$stage/$name/$exe.exe" "$dir/$out"
    done
    cp -p demo/skin/* "$stage/$name/demo/skin/"
    compgen -G 'docs/*' >/dev/null || die "docs/ is empty"
    cp -p docs/* "$stage/$name/docs/"
    cp -p LICENSE README.md "$stage/$name/"

    mkdir -p dist
    rm -f "dist/$name.zip"
    (cd "$stage" && zip -q -r -X "$root/dist/$name.zip" "$name")
    echo "release: dist/$name.zip"
}

build_arch win32 i686
build_arch win64 x86_64
