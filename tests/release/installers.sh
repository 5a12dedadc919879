#!/usr/bin/env bash
# The release as a newcomer and a deployer meet it: the demo's first run in a new Wine prefix; brand.sh;
# the plain and a branded installer side by side, against the guide's nginx example, and uninstalled; the same
# for the MSIs, with a refused KORVANE_URL and an upgrade.
# Needs dist/ from release.sh. In a network namespace of its own 127.0.0.53:80, the built-in URL, is ours.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
[ -n "${KORVANE_OWN_NETWORK:-}" ] || exec env KORVANE_OWN_NETWORK=1 unshare --net bash "$0"
ip link set lo up
bash scripts/setup.sh
version=$(sed -n 's/^project(Korvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
work=$root/build/release-test
rm -rf "$work" && mkdir -p "$work"
wine=/usr/lib/wine/wine64
# No menu entries on the host for the shortcuts the installers make.
export WINEPREFIX=$work/demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
pids=()
cleanup() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -f dist/acme-portal-setup.exe dist/beta-site-setup.exe dist/acme-portal.msi
}
trap cleanup EXIT
passed=0 failed=0
check() {  # what, command...: a failure shows the command's output
    local what=$1; shift
    if "$@" >"$work/check.out" 2>&1; then passed=$((passed + 1)); return; fi
    echo "release test: FAILED: $what" >&2 && tail -20 "$work/check.out" >&2
    failed=$((failed + 1))
}
has() { [[ $1 == *"$2"* ]]; }  # text, fragment

# The first run of the demo: a new prefix, and in the picture the skin's left
# border where the demo document places the main window.
check "demo.sh in a new Wine prefix" env KORVANE_DEMO_STATE="$work/demo" KORVANE_DEMO_SCREENSHOT="$work/demo.png" \
    bash scripts/demo.sh
border() { convert "$1" -crop "12x300+$2" +repage "$work/$3.png" 2>/dev/null || true; }
border demo/skin/skin.gif 4+60 skin-border && border "$work/demo.png" 216+234 shot-border
check "the demo's screenshot shows the main window" compare -metric AE -fuzz 3% "$work/skin-border.png" "$work/shot-border.png" null:

# Bad input: its message, and dist/ as it was.
listing() { find dist -type f -printf '%p %s %T@\n' | sort; }
before=$(listing)
while IFS='|' read -r message args; do
    read -ra args <<<"$args"
    out=$(bash scripts/brand.sh "${args[@]}" 2>&1) && status=0 || status=$?
    check "brand.sh ${args[*]} is refused: $message" test "$status $(has "$out" "$message" && echo "${out%%:*}")" = "1 brand"
done <<'EOF'
must start with http:// or https://|--name Acme --url ftp://portal.example.com/korvane.xml
must start with http:// or https://|--name Acme --url portal.example.com/korvane.xml
is not a Windows icon|--name Acme --url https://portal.example.com/k.xml --icon demo/skin/skin.gif
cannot be in a file name|--name Acme/Portal --url https://portal.example.com/k.xml
cannot be in a file name|--name Acme?Portal --url https://portal.example.com/k.xml
reserved by Windows|--name Com1 --url https://portal.example.com/k.xml
--sign needs --password-file|--name Acme --url https://portal.example.com/k.xml --sign LICENSE
EOF
check "bad input leaves dist/ untouched" test "$before" = "$(listing)"

# A throw-away code-signing certificate; a signed win64 brand with an icon of
# its own, and an unsigned win32 one.
cert=$work/cert
mkdir -p "$cert" && echo "throw-away password" >"$cert/password"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$cert/key.pem" -out "$cert/cert.pem" -days 2 \
    -subj "/CN=Korvane test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
    openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/cert.pfx" -passout "file:$cert/password"
convert -size 32x32 xc:orange "$work/acme.ico"
acme_url=http://127.0.0.53/acme/korvane.xml
bash scripts/brand.sh --name "Acme Portal" --url "$acme_url" --icon "$work/acme.ico" --publisher Acme \
    --arch win64 --sign "$cert/cert.pfx" --password-file "$cert/password" >"$work/brand.log"
bash scripts/brand.sh --name "Beta Site" --url https://beta.example.com/k.xml >>"$work/brand.log"
bash scripts/brand.sh --name "Acme Portal" --url "$acme_url" --icon "$work/acme.ico" --publisher Acme \
    --arch win64 --msi --sign "$cert/cert.pfx" --password-file "$cert/password" >>"$work/brand.log"
check "brand.sh says what it signed" grep -q "^brand: programs and installers signed" "$work/brand.log"
check "brand.sh says it did not sign" grep -qx "brand: not signed (sign with --sign CERT.pfx --password-file FILE)" "$work/brand.log"
verify() { osslsigncode verify -CAfile "$cert/cert.pem" -in "$1" 2>&1 || true; }
out=$(verify dist/acme-portal-setup.exe)
check "the signed installer verifies" has "$out" "Signature verification: ok"
check "no timestamp without a timestamp URL" has "$out" "Timestamp is not available"
for f in dist/beta-site-setup.exe "dist/korvane-$version-win64-setup.exe"; do check "$f unsigned" has "$(verify "$f")" "No signature found"; done
resource() { 7zz e -tPE -so dist/acme-portal-setup.exe ".rsrc/$1" 2>/dev/null; }
check "the branded installer carries the brand's icon" \
    test "$(identify -format '%#' "$work/acme.ico")" = "$(resource ICON/1.ico | identify -format '%#' ico:- 2>&1)"
check "the branded installer carries the brand's name" \
    has "$(resource version.txt | iconv -f UTF-16LE -t UTF-8 | tr -s ' ')" '"ProductName", "Acme Portal"'
installed() { printf '%s\n' LICENSE docs/skin-guide.md "$@" korvane-check.exe korvane.exe uninstall.exe | sort; }
beta=$(7zz l -slt dist/beta-site-setup.exe)
check "the win32 brand is a 32-bit installer" has "$beta" $'SubType = NSIS-3 Unicode\n'
check "the win32 brand's files" test "$(sed -n '/^----------/,$ s/^Path = //p' <<<"$beta" | grep -v '^\$PLUGINSDIR' | sort)" = "$(installed)"

# The guide's nginx example, its address and folder the only changes, serves
# the demo skin as it is and the brand's document: the demo under its title.
www=$work/www
mkdir -p "$www/acme" "$work/nginx" && cp -r demo/skin "$www/demo"
sed 's:<APP_TITLE>.*</APP_TITLE>:<APP_TITLE>Acme Portal</APP_TITLE>:' demo/skin/korvane.xml >"$www/acme/korvane.xml"
site=$(awk '/^```nginx$/ {on = 1; next} on && /^```$/ {exit} on' docs/skin-guide.md)
site=${site/listen 80;/listen 127.0.0.53:80;}
site=${site//\/srv\/korvane/$www}
check "the guide has the nginx example" has "$site" "listen 127.0.0.53:80;"
printf 'daemon off;\nmaster_process off;\npid %s/nginx.pid;\nevents {}\nhttp {\naccess_log %s/access.log;\n%s\n}\n' \
    "$work/nginx" "$work/nginx" "$site" >"$work/nginx/nginx.conf"
nginx -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" & pids+=($!)
for _ in $(seq 50); do (: </dev/tcp/127.0.0.53/80) 2>/dev/null && break; sleep 0.1; done

# The demo's prefix takes the installers: no window manager on Xvfb, and a
# crash fails at once.
for n in $(seq 100 199); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 & pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
/usr/lib/wine/wineserver -p
$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
$wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d false /f >/dev/null 2>&1
# Drive C:'s files, HKCU less Wine's own settings, and HKLM\Software; not the web cache, nor the store of
# Windows Installer, which stays behind empty once an MSI has used it.
snapshot() {
    find "$WINEPREFIX/drive_c" | grep -v -e '/INetCache/' -e '/windows/Installer$' | sort
    for key in HKCU 'HKLM\Software'; do
        $wine reg export "$key" "$work/key.reg" /y >/dev/null 2>&1 && iconv -f UTF-16LE -t UTF-8 "$work/key.reg"
    done | awk '/^\[/ {skip = /^\[HKEY_CURRENT_USER\\Software\\Wine\\/} !skip && !/^\r?$/ && !/^\[.*\\Installer[\\\]]/'
}
snapshot >"$work/before.txt"
user=$(id -un)
local_programs=$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs
start_menu=$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs

shows() {  # shortcut, main window's title
    $wine start /unix "$start_menu/$1.lnk"
    for _ in $(seq 120); do xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1 && break; sleep 0.25; done
    check "$1's shortcut shows the main window \"$2\"" xdotool search --onlyvisible --name "^$2\$"
    $wine taskkill /f /im korvane.exe >/dev/null 2>&1 || true
}
# name, installer, shortcut argument, icon file (none: the shell's), publisher, main window's title
installs=("Korvane|dist/korvane-$version-win64-setup.exe|||The Korvane developers|Korvane Demo"
          "Acme Portal|dist/acme-portal-setup.exe|$acme_url|acme-portal.ico|Acme|Acme Portal")
for entry in "${installs[@]}"; do
    IFS='|' read -r name setup argument icon publisher title <<<"$entry"
    check "$setup installs silently" $wine "$setup" /S
    dir=$local_programs/$name
    check "$name's files" test "$(cd "$dir" && find . -type f | cut -c3- | sort)" = "$(installed $icon)"
    check "$name's guide and licence" diff <(cat docs/skin-guide.md LICENSE) <(cat "$dir/docs/skin-guide.md" "$dir/LICENSE")
    [ -z "$icon" ] || check "$name's icon" cmp "$work/acme.ico" "$dir/$icon"
    win_dir="C:\\users\\$user\\AppData\\Local\\Programs\\$name"
    icon_path="$win_dir\\${icon:-korvane.exe}"
    link=$(lnkinfo "$start_menu/$name.lnk" 2>&1 | sed 's/^[[:space:]]*//; s/[[:space:]]*: /: /') || true
    field() { sed -n "s/^$1: //p" <<<"$link"; }
    check "$name.lnk runs the shell" test "$(field 'Local path')" = "$win_dir\\korvane.exe"
    check "$name.lnk's argument" test "$(field 'Command line arguments')" = "${argument:+\"$argument\"}"
    check "$name.lnk's icon" test "$(field 'Icon location')" = "$icon_path"
    key=$($wine reg query "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name" 2>&1 | tr -d '\r')$'\n' || true
    for value in "DisplayName    REG_SZ    $name" "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ    $publisher" \
        "DisplayIcon    REG_SZ    $icon_path" "UninstallString    REG_SZ    \"$win_dir\\uninstall.exe\"" \
        "QuietUninstallString    REG_SZ    \"$win_dir\\uninstall.exe\" /S"; do
        check "$name's uninstall entry: $value" has "$key" "    $value"$'\n'
    done
    size=$(sed -n 's/.*EstimatedSize    REG_DWORD    //p' <<<"$key")
    off_by=$(( ${size:-0} - ($(find "$dir" -type f -printf "%s+")0) / 1024 ))
    check "$name's uninstall entry gives its size in KiB (off by $off_by)" test "${off_by#-}" -le 8
    # The installed checker and the shortcut, on the brand's URL or the built-in one, both served by nginx.
    report=$($wine "$dir/korvane-check.exe" $argument | tr -d '\r') && status=0 || status=$?
    check "$name's checker on its document" test "$status $(tail -1 <<<"$report" | cut -c1-9)" = "0 VERDICT 0"
    shows "$name" "$title"
done
for f in korvane.exe korvane-check.exe uninstall.exe; do check "$f signed" has "$(verify "$local_programs/Acme Portal/$f")" "verification: ok"; done

# Uninstalling one leaves the other; once both are gone and Windows has
# restarted (an uninstaller's running copy in Temp goes then), nothing is left.
for entry in "${installs[@]}"; do
    IFS='|' read -r name _ <<<"$entry"
    $wine "$local_programs/$name/uninstall.exe" /S
    for _ in $(seq 100); do [ -e "$local_programs/$name" ] || break; sleep 0.2; done
    check "$name uninstalls" test ! -e "$local_programs/$name" -a ! -e "$start_menu/$name.lnk"
    check "$name's uninstall leaves the other" test "$name" = "Acme Portal" -o -f "$local_programs/Acme Portal/korvane.exe"
done
$wine wineboot -r >/dev/null 2>&1
snapshot >"$work/after.txt"
check "nothing is left after uninstalling" diff "$work/before.txt" "$work/after.txt"

# The MSIs, in the same prefix (whose per-machine shortcuts Wine puts in the user's Start menu): refused
# URLs (a failed install's 1603 comes out as 67), an upgrade from a build of a lower version, and a brand.
msi=dist/korvane-$version-win64.msi programs=$WINEPREFIX/drive_c/Program\ Files
(prog=release-test && source scripts/lib/packaging.sh && source scripts/lib/msi.sh && version=0.0.1 && make_msi win64 "$work/old.msi")
for url in ftp://127.0.0.53/k.xml "http://127.0.0.53/a b.xml" $'http://127.0.0.53/a\tb.xml' "http://127.0.0.53/$(printf %01010d 0)"; do
    $wine msiexec /i "$msi" /qn /l*v "$work/msi.log" KORVANE_URL="$url" && status=0 || status=$?
    check "KORVANE_URL=${url:0:30} is refused, saying why" test "$status $(grep -c '^KORVANE_URL must start' "$work/msi.log")" = "67 1"
done
snapshot >"$work/refused.txt"
check "refused MSIs install nothing" diff "$work/before.txt" "$work/refused.txt"
arguments() { lnkinfo "$start_menu/$1.lnk" | sed -n 's/^[[:space:]]*Command line arguments[[:space:]]*: //p'; }
entries() {  # what the list of installed programs shows of each
    $wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' | grep -E '^ +(DisplayName|DisplayVersion|Publisher) ' | sort
}
emulation() { $wine reg query 'HKLM\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION' /v korvane.exe 2>&1; }
arp_entry() { printf '    %s\n' "DisplayName    REG_SZ    $1" "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ    $2"; }
korvane=$(arp_entry Korvane "The Korvane developers")
check "the older MSI installs with KORVANE_URL" $wine msiexec /i "$work/old.msi" /qn KORVANE_URL="$acme_url"
check "the MSI upgrades it" $wine msiexec /i "$msi" /qn
check "the upgrade keeps the shortcut's URL" test "$(arguments Korvane)" = "$acme_url"
$wine msiexec /i "$work/old.msi" /qn && status=0 || status=$?
check "the older MSI does not go over it; one entry" test "$status$(entries)" = "67$korvane"
check "the MSI's files" test "$(cd "$programs/Korvane" && find . -type f | cut -c3- | sort)" = "$(installed | grep -v uninstall)"
check "the engine setting for korvane.exe" has "$(emulation)" "korvane.exe    REG_DWORD    0x2af9"
shows Korvane "Acme Portal"
check "the branded MSI installs beside it" $wine msiexec /i dist/acme-portal.msi /qn
check "the brand's shortcut's URL" test "$(arguments "Acme Portal")" = "$acme_url"
check "the branded MSI's icon" cmp <(msiinfo extract dist/acme-portal.msi Icon.product.ico) "$work/acme.ico"
for f in dist/acme-portal.msi "$programs/Acme Portal/korvane.exe"; do check "$f signed" has "$(verify "$f")" "verification: ok"; done
check "an entry each" test "$(entries)" = "$({ arp_entry Korvane "The Korvane developers"; arp_entry "Acme Portal" Acme; } | sort)"
check "the branded MSI removes silently" $wine msiexec /x dist/acme-portal.msi /qn
check "which leaves Korvane and its engine setting" test -f "$programs/Korvane/korvane.exe" -a ! -e "$programs/Acme Portal" \
    -a "$(has "$(emulation)" 0x2af9 && echo kept)" = kept
check "the MSI removes silently" $wine msiexec /x "$msi" /qn
snapshot >"$work/removed.txt"
check "nothing is left after removing the MSIs" diff "$work/before.txt" "$work/removed.txt"

echo "release test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
