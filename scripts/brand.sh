#!/usr/bin/env bash
# usage: scripts/brand.sh --name NAME --url URL [--icon ICO] [--publisher P]
#            [--version X.Y.Z] [--arch win32|win64] [--msi]
#            [--sign CERT.pfx --password-file FILE [--timestamp URL]]
#
# Builds a deployer's own installer of the shell, dist/SLUG-X.Y.Z-setup.exe:
# SLUG is the name in lower case, each run of other characters than letters
# and digits made one dash; X.Y.Z is --version (default: the project's).
# It installs the shell, the checker, the guide and the licence for the
# current user into "%LOCALAPPDATA%\Programs\NAME", with a Start-menu
# shortcut NAME that starts the shell on the URL, and an uninstall entry NAME
# of version X.Y.Z; so brands of different names live side by side, and a
# higher version of a brand upgrades it. The icon (default: the shell's) is
# the shortcut's, the uninstall entry's and the installer's own. The
# publisher defaults to the name. --arch win32 (the default) runs on every
# Windows; win64 is the x86_64 build. With --msi it writes
# dist/SLUG-X.Y.Z.msi instead: the same files for all users of the machine,
# into "Program Files\NAME", with a Start-menu shortcut NAME for all users
# and an UpgradeCode of the name's own, so that each brand upgrades itself
# (scripts/lib/msi.sh). Bad input is refused before anything is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
prog=brand
source scripts/lib/packaging.sh

usage() { sed -n '2,/^[^#]/ s/^# \{0,1\}//p' "$0"; }
name="" url="" icon="" publisher="" arch=win32 msi=""
while [ $# -gt 0 ]; do
    case $1 in
        --help|-h) usage; exit 0 ;;
        --msi) msi=1; shift; continue ;;
    esac
    [ $# -ge 2 ] || die "$1 needs a value"
    case $1 in
        --name) name=$2 ;;
        --url) url=$2 ;;
        --icon) icon=$2 ;;
        --publisher) publisher=$2 ;;
        --version) version=$2 ;;
        --arch) arch=$2 ;;
        *) sign_option "$1" "$2" || { echo "brand: unknown option $1" >&2; usage >&2; exit 1; } ;;
    esac
    shift 2
done

[ -n "$name" ] || die "--name is required"
not_in_file_name='[<>:"/\|?*[:cntrl:]]'
[[ ! $name =~ $not_in_file_name ]] ||
    die "the name \"$name\" has a character that cannot be in a file name (< > : \" / \\ | ? * or a control character)"
[[ ! $name =~ ^[[:space:]]|[[:space:].]$ ]] || die "the name \"$name\" cannot start with a space or end with a space or a dot"
shopt -s nocasematch
[[ ! $name =~ ^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\..*)?$ ]] || die "the name \"$name\" is reserved by Windows for a device"
shopt -u nocasematch
slug=$(tr '[:upper:]' '[:lower:]' <<<"$name" | sed -E 's/[^a-z0-9]+/-/g; s/^-+|-+$//g')
[ -n "$slug" ] || die "the name \"$name\" needs a letter or digit (A-Z, 0-9) to name the installer"

[ -n "$url" ] || die "--url is required"
is_http_url "$url" || die "the URL must start with http:// or https:// and hold no spaces or quotes: $url"
[ ${#url} -lt 1024 ] || die "the URL is longer than the 1023 characters the shell takes"

if [ -n "$icon" ]; then
    [ -f "$icon" ] || die "no icon file $icon"
    # An ICO file starts with reserved 0, type 1 and a count of images.
    header=$(od -An -tx1 -N6 "$icon" | tr -d ' \n')
    [[ $header =~ ^00000100 && $header != 000001000000 ]] || die "$icon is not a Windows icon (.ico) file"
    icon=$(realpath "$icon")
fi
[[ ! $publisher =~ [[:cntrl:]] ]] || die "the publisher has a control character"
[[ $arch == win32 || $arch == win64 ]] || die "--arch is win32 or win64, not $arch"
# Windows Installer's limits, which the installer's version resource keeps too.
[[ $version =~ ^(0|[1-9][0-9]{0,2})\.(0|[1-9][0-9]{0,2})\.(0|[1-9][0-9]{0,4})$ ]] &&
    ((BASH_REMATCH[1] <= 255 && BASH_REMATCH[2] <= 255 && BASH_REMATCH[3] <= 65535)) ||
    die "--version is X.Y.Z, X and Y at most 255 and Z at most 65535, not $version"
# A Windows Installer database holds its text in one code page.
[ -z "$msi" ] || iconv -f UTF-8 -t CP1252 <<<"$name$publisher$url" >/dev/null 2>&1 ||
    die "an MSI holds only Western European (Windows-1252) text: \"$name\", \"$publisher\", $url"
check_signing

bash scripts/setup.sh
lock_release_trees
release_tree "$arch"
out=$root/build/brand/$slug
file=$slug-$version
mkdir -p dist
if [ -n "$msi" ]; then
    rm -rf "$out" && mkdir -p "$out"
    make_msi "$arch" "$out/$file.msi" "$name" "${publisher:-$name}" "$url" "$icon"
    cp "$out/$file.msi" dist/
    echo "brand: dist/$file.msi ($arch) installs \"$name\" $version for all users starting $url"
    signing_note
    exit 0
fi
settings=(-D "CPACK_NSIS_DISPLAY_NAME=$name" -D "CPACK_PACKAGE_VENDOR=${publisher:-$name}"
          -D "CPACK_PACKAGE_VERSION=$version" -D "CPACK_PACKAGE_FILE_NAME=$file" -D "CPACK_KORVANE_URL=$url")
[ -z "$icon" ] || settings+=(-D "CPACK_NSIS_MUI_ICON=$icon" -D "CPACK_KORVANE_ICON_FILE=$slug.ico")
run_cpack "$arch" NSIS "$out" "${settings[@]}"
cp "$out/$file-setup.exe" dist/
echo "brand: dist/$file-setup.exe ($arch) installs \"$name\" $version starting $url"
signing_note
