#!/usr/bin/env bash
# Checks the release zips, installers and MSIs that scripts/release.sh made:
# exactly the files that belong in them, equal to the tree's copies, and
# executables of the right machine and subsystem, stripped, with no runtime
# DLLs beside them, carrying icon group 102, a version resource of the
# project's version and their manifest; each installer's stub and MSI is of
# its architecture.
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

    # The manifest, read back: run as the user who starts it, on Windows 7,
    # 8, 8.1 and 10/11; the shell with the themed common controls and aware
    # of each monitor's DPI.
    local manifest line wanted=('level="asInvoker"' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'
        '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' '{1f676c76-80e1-4239-95bb-83d0f6d0da78}'
        '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}')
    [ "$subsystem" != 2 ] || wanted+=('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'
        '>true/pm</dpiAware>' '>PerMonitorV2, PerMonitor</dpiAwareness>')
    manifest=$(sed -n '/^1 24 \/\* RT_MANIFEST \*\//,/^END/p' <<<"$rc" | sed 's/""/"/g')
    for line in "${wanted[@]}"; do
        grep -qF "$line" <<<"$manifest" || fail "$name: its manifest has no $line"
    done
}

# The files a package unpacked into DIR holds: exactly the expected ones,
# equal to the tree's, with programs fit for the architecture.
check_files() {  # package, dir, cpu, pe format, expected files...
    local package=$1 dir=$2 cpu=$3 format=$4
    shift 4
    local expected=$work/expected actual=$work/actual
    printf '%s\n' "$@" | sort >"$expected"
    (cd "$dir" && find . -type f ! -path './$PLUGINSDIR/*' | cut -c3- | sort) >"$actual"
    if ! diff -u "$expected" "$actual" >"$work/diff"; then
        fail "$package does not hold exactly the release files (- missing, + extra):"
        sed -n '3,$p' "$work/diff" | grep '^[-+]' >&2 || true
    fi
    local f
    for f in "$@"; do
        case $f in
            *.exe) ;;
            *) [ ! -f "$dir/$f" ] || cmp -s "$f" "$dir/$f" || fail "$package: $f differs from the tree's" ;;
        esac
    done
    [ ! -f "$dir/korvane.exe" ] || check_exe "$dir/korvane.exe" "$cpu" "$format" 2 "Korvane browser shell"
    [ ! -f "$dir/korvane-check.exe" ] || check_exe "$dir/korvane-check.exe" "$cpu" "$format" 3 "Korvane skin checker"
}

check_arch() {  # arch, cpu, pe format, installer's NSIS subtype
    local arch=$1 cpu=$2 format=$3 subtype=$4
    local name=korvane-$version-$arch
    local programs=(korvane.exe korvane-check.exe LICENSE) docs=() skin=() f
    for f in docs/*; do [ -f "$f" ] && docs+=("$f"); done
    for f in demo/skin/*; do [ -f "$f" ] && skin+=("$f"); done

    local zip=$dist/$name.zip
    if [ -f "$zip" ]; then
        mkdir -p "$work/$arch"
        unzip -q "$zip" -d "$work/$arch"
        [ "$(unzip -Z1 "$zip" | grep -v '/$' | cut -d/ -f1 | sort -u)" = "$name" ] || fail "$zip: not all under $name/"
        check_files "$zip" "$work/$arch/$name" "$cpu" "$format" "${programs[@]}" "${docs[@]}" "${skin[@]}" README.md
    else
        fail "$zip is missing"
    fi

    # The installer: the programs, the guide and the licence, the uninstaller
    # it writes, and an installer stub of the architecture.
    local setup=$dist/$name-setup.exe
    if [ -f "$setup" ]; then
        7zz l "$setup" | grep -qx "SubType = $subtype" || fail "$setup: not an installer of type $subtype"
        7zz x -y -o"$work/$arch-setup" "$setup" >/dev/null || fail "$setup: 7zz cannot unpack it"
        check_files "$setup" "$work/$arch-setup" "$cpu" "$format" "${programs[@]}" "${docs[@]}" uninstall.exe
    else
        fail "$setup is missing"
    fi

    # The MSI: the same files, for all users, and what the architecture
    # decides: the package's platform, its Program Files folder, 64-bit
    # components or not, and the URL check's machine and plain entry point
    # (this machine runs no 32-bit code). The plain Korvane's UpgradeCode
    # never changes: every release upgrades the one before.
    local msi=$dist/$name.msi platform=Intel folder=ProgramFilesFolder bit=0
    [ "$arch" = win32 ] || { platform=x64 folder=ProgramFiles64Folder bit=1; }
    if [ -f "$msi" ]; then
        msiextract -C "$work/$arch-msi" "$msi" >/dev/null || fail "$msi: msiextract cannot unpack it"
        # Under "Program Files" or not, as msiextract names the folders.
        local folder_of_shell
        folder_of_shell=$(find "$work/$arch-msi" -name korvane.exe -printf '%h' -quit)
        check_files "$msi" "${folder_of_shell:-$work/$arch-msi}" "$cpu" "$format" "${programs[@]}" "${docs[@]}"
        local tables line
        tables=$(msiinfo suminfo "$msi" && for t in Property Directory; do msiinfo export "$msi" $t; done | tr -d '\r') || true
        for line in "Template: $platform;1033" $'ALLUSERS\t1' $'ProductVersion\t'"$version" \
            $'UpgradeCode\t{64996B6C-139C-5084-B93D-E721D531ED41}' $'INSTALLDIR\t'"$folder"$'\tKorvane'; do
            grep -qxF "$line" <<<"$tables" || fail "$msi: no \"$line\""
        done
        [ -z "$(msiinfo export "$msi" Component | awk -F'\t' -v bit=$bit 'NR > 3 && int($4 / 256) % 2 != bit')" ] ||
            fail "$msi: components not all of its architecture"
        local action
        action=$(msiinfo extract "$msi" Binary.UrlCheck >"$work/$arch-url.dll" && "$cpu-w64-mingw32-objdump" -p "$work/$arch-url.dll" 2>&1) || true
        grep -q "file format $format\$" <<<"$action" && grep -qx $'\t\[   0\] CheckKorvaneUrl' <<<"$action" ||
            fail "$msi: the URL check is not a $format DLL with the entry point CheckKorvaneUrl"
    else
        fail "$msi is missing"
    fi
}

grep -q 'MIT License' LICENSE && grep -q 'the Korvane developers' LICENSE || fail "LICENSE is not the MIT licence of the Korvane developers"
check_arch win32 i686 pei-i386 "NSIS-3 Unicode"
check_arch win64 x86_64 pei-x86-64 "NSIS-3 Unicode 64-bit"

if [ "$failures" -gt 0 ]; then
    echo "check_release: $failures problem(s) in the release packages" >&2
    exit 1
fi
echo "check_release: dist/korvane-$version-win32 and -win64 zips, installers and MSIs are complete"
