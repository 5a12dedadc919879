#!/usr/bin/env bash
# Checks the release zips that scripts/release.sh made: exactly the files
# that belong in them, equal to the tree's copies, and executables of the
# right machine and subsystem, stripped, with no runtime DLLs beside them,
# carrying icon group 102 and a version resource of the project's version.
#   scripts/check_release.sh [DIST-DIR]    (default: dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
dist=${1:-dist}

version=$(sed -n 's/^project(Korvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "check_release: no version in CMakeLists.txt" >&2; exit 1; }
IFS=. read -r major minor patch <<<"$version"

failures=0
fail() { echo "check_release: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check_exe() {  # path, cpu, pe format, subsystem number, description
    local exe=$1 cpu=$2 format=$3 subsystem=$4 description=$5
    local name=${exe##*/}
    local headers
    headers=$("$cpu-w64-mingw32-objdump" -p "$exe" 2>&1) || { fail "$name: objdump cannot read it"; return; }
    grep -q "file format $format\$" <<<"$headers" || fail "$name: not $format"
    grep -Eq "^Subsystem[[:space:]]+0*$subsystem[[:space:]]" <<<"$headers" ||
        fail "$name: subsystem is not $subsystem"
    # Built static: nothing of the compiler's runtime may be needed beside it.
    local dll
    while read -r dll; do
        case "${dll,,}" in
            libstdc++*|libgcc*|libwinpthread*|libssp*) fail "$name: needs $dll" ;;
        esac
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
    "$cpu-w64-mingw32-objdump" -h "$exe" | grep -q ' \.debug_' && fail "$name: has debug sections"
    [ -z "$("$cpu-w64-mingw32-nm" "$exe" 2>/dev/null | head -1)" ] || fail "$name: has a symbol table"

    local rc
    rc=$("$cpu-w64-mingw32-windres" -i "$exe" -O rc 2>&1) || { fail "$name: no resources"; return; }
    grep -q '^102 14 /\* RT_GROUP_ICON \*/' <<<"$rc" || fail "$name: no icon group 102"
    grep -q '/\* RT_ICON \*/' <<<"$rc" || fail "$name: icon group without icons"
    grep -q '^1 VERSIONINFO' <<<"$rc" || fail "$name: no version resource"
    grep -q "^ FILEVERSION $major, $minor, $patch, 0\$" <<<"$rc" || fail "$name: FILEVERSION is not $version"
    grep -q "^ PRODUCTVERSION $major, $minor, $patch, 0\$" <<<"$rc" || fail "$name: PRODUCTVERSION is not $version"
    grep -q "VALUE \"FileVersion\", \"$version\"" <<<"$rc" || fail "$name: FileVersion text is not $version"
    grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$rc" || fail "$name: ProductVersion text is not $version"
    grep -q "VALUE \"FileDescription\", \"$description\"" <<<"$rc" ||
        fail "$name: FileDescription is not \"$description\""
    grep -q "VALUE \"OriginalFilename\", \"$name\"" <<<"$rc" || fail "$name: OriginalFilename is not $name"
}

check_zip() {  # arch, cpu, pe format
    local arch=$1 cpu=$2 format=$3
    local name=korvane-$version-$arch
    local zip=$dist/$name.zip
    if [ ! -f "$zip" ]; then
        fail "$zip is missing"
        return
    fi

    local expected=$work/$arch.expected actual=$work/$arch.actual
    {
        echo "$name/korvane.exe"
        echo "$name/korvane-check.exe"
        echo "$name/LICENSE"
        echo "$name/README.md"
        local f
        for f in demo/skin/* docs/*; do [ -f "$f" ] && echo "$name/$f"; done
    } | sort >"$expected"
    unzip -Z1 "$zip" | grep -v '/$' | sort >"$actual"
    if ! diff -u "$expected" "$actual" >"$work/$arch.diff"; then
        fail "$zip does not hold exactly the release files (- missing, + extra):"
        sed -n '3,$p' "$work/$arch.diff" | grep '^[-+]' >&2 || true
    fi

    local out=$work/$arch
    mkdir -p "$out"
    unzip -q "$zip" -d "$out"
    local f
    for f in LICENSE README.md demo/skin/* docs/*; do
        [ -f "$f" ] || continue
        [ -f "$out/$name/$f" ] || continue  # reported above
        cmp -s "$f" "$out/$name/$f" || fail "$zip: $f differs from the tree's"
    done
    grep -q 'MIT License' LICENSE && grep -q 'the Korvane developers' LICENSE || fail "LICENSE is not the MIT licence of the Korvane developers"

    [ -f "$out/$name/korvane.exe" ] && check_exe "$out/$name/korvane.exe" "$cpu" "$format" 2 "Korvane browser shell"
    [ -f "$out/$name/korvane-check.exe" ] && check_exe "$out/$name/korvane-check.exe" "$cpu" "$format" 3 "Korvane skin checker"
    return 0
}

check_zip win32 i686 pei-i386
check_zip win64 x86_64 pei-x86-64

if [ "$failures" -gt 0 ]; then
    echo "check_release: $failures problem(s) in the release zips" >&2
    exit 1
fi
echo "check_release: dist/korvane-$version-win32.zip and -win64.zip are complete"
