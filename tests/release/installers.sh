#!/usr/bin/env bash
# The release as a newcomer and a deployer meet it: the demo's first run in a new Wine prefix; brand.sh;
# the plain and a branded installer side by side, against the guide's nginx example, their failures, the brand's
# next version over its running shell, and uninstalled; the same for the MSIs, with a refused KORVANE_URL and an upgrade.
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
    rm -f dist/acme-portal-*
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
status() { "$@" >/dev/null 2>&1 && echo 0 || echo $?; }  # command...: its exit code

# The first run of the demo: a new prefix, and in the picture the skin's left
# border where the demo document places the main window.
check "demo.sh in a new Wine prefix" env KORVANE_DEMO_STATE="$work/demo" KORVANE_DEMO_SCREENSHOT="$work/demo.png" \
    bash scripts/demo.sh
border() { convert "$1" -crop "12x300+$2" +repage "$work/$3.png" 2>/dev/null || true; }
border demo/skin/skin.gif 4+60 skin-border && border "$work/demo.png" 216+234 shot-border
check "the demo's screenshot shows the main window" compare -metric AE -fuzz 3% "$work/skin-border.png" "$work/shot-border.png" null:

# A throw-away code-signing certificate, not from a public authority.
cert=$work/cert
mkdir -p "$cert" && echo "throw-away password" >"$cert/password"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$cert/key.pem" -out "$cert/cert.pem" -days 2 \
    -subj "/CN=Korvane test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
    openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/cert.pfx" -passout "file:$cert/password"
# Bad input: its message, and dist/ as it was.
listing() { find dist -type f -printf '%p %s %T@\n' | sort; }
before=$(listing)
while IFS='|' read -r message args; do
    read -ra args <<<"$args"
    out=$(bash scripts/brand.sh "${args[@]}" 2>&1) && status=0 || status=$?
    check "brand.sh ${args[*]} is refused: $message" test "$status $(has "$out" "$message" && echo "${out%%:*}")" = "1 brand"
done <<EOF
must start with http:// or https://|--name Acme --url portal.example.com/korvane.xml
is not a Windows icon|--name Acme --url https://portal.example.com/k.xml --icon demo/skin/skin.gif
cannot be in a file name|--name Acme/Portal --url https://portal.example.com/k.xml
reserved by Windows|--name Com1 --url https://portal.example.com/k.xml
--sign needs --password-file|--name Acme --url https://portal.example.com/k.xml --sign LICENSE
usage: scripts/brand.sh --name NAME|--name Acme --url https://portal.example.com/k.xml --colour red
--version is X.Y.Z|--name Acme --url https://portal.example.com/k.xml --version 1.256.0
name timestamp.invalid does not resolve|--name Acme --url http://a/k.xml --sign $cert/cert.pfx --password-file $cert/password --timestamp http://timestamp.invalid/
127.0.0.1 does not answer on port 9|--name Acme --url http://a/k.xml --sign $cert/cert.pfx --password-file $cert/password --timestamp http://127.0.0.1:9/
EOF
check "brand.sh --help prints the usage" test "$(bash scripts/brand.sh --help | head -1)" = "usage: scripts/brand.sh --name NAME --url URL [--icon ICO] [--publisher P]"
check "bad input leaves dist/ untouched" test "$before" = "$(listing)"

# A signed win64 brand with an icon of its own, and its next version.
convert -size 32x32 xc:orange "$work/acme.ico"
acme_url=http://127.0.0.53/acme/korvane.xml
acme=(--name "Acme Portal" --url "$acme_url" --icon "$work/acme.ico" --publisher Acme --arch win64) signed=(--sign "$cert/cert.pfx" --password-file "$cert/password")
{ bash scripts/brand.sh "${acme[@]}" "${signed[@]}" && bash scripts/brand.sh "${acme[@]}" --version 0.2.0 &&
    bash scripts/brand.sh "${acme[@]}" --msi "${signed[@]}"; } >"$work/brand.log"
# The guide's command, with the certificate's CA file.
verify() { $(grep -o 'osslsigncode verify -CAfile ca.pem -in' docs/skin-guide.md | sed "s:ca.pem:$cert/cert.pem:") "$1" 2>&1 || true; }
acme_setup=dist/acme-portal-$version-setup.exe acme_next=dist/acme-portal-0.2.0-setup.exe acme_msi=dist/acme-portal-$version.msi
7zz e -o"$work/plugins" $acme_setup '$PLUGINSDIR/*.dll' >/dev/null  # what the installer unpacks at run time
for f in $acme_setup "$work"/plugins/*.dll; do check "$f signed" has "$(verify "$f")" "Signature verification: ok"; done
for f in $acme_next "dist/korvane-$version-win64-setup.exe"; do check "$f unsigned" has "$(verify "$f")" "No signature found"; done
check "the branded installer's version resource: the brand's name and --version" \
    test "$(7zz e -tPE -so $acme_next .rsrc/version.txt | iconv -f UTF-16LE -t UTF-8 | tr -s ' ' | grep -c -e '"ProductName", "Acme Portal"' -e '"ProductVersion", "0.2.0"')" = 2
installed() { printf '%s\n' LICENSE docs/skin-guide.md "$@" korvane-check.exe korvane.exe uninstall.exe | sort; }

# The guide's nginx example, its address and folder the only changes, serves
# the demo skin as it is and the brand's document: the demo under its title.
www=$work/www
mkdir -p "$www/acme" "$work/nginx" && cp -r demo/skin "$www/demo"
sed 's:<APP_TITLE>.*</APP_TITLE>:<APP_TITLE>Acme Portal</APP_TITLE>:' demo/skin/korvane.xml >"$www/acme/korvane.xml"
site=$(awk '/^```nginx$/ {on = 1; next} on && /^```$/ {exit} on' docs/skin-guide.md)
site=${site/listen 80;/listen 127.0.0.53:80;}
site=${site//\/srv\/korvane/$www}
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

await() { for _ in $(seq 120); do xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return; sleep 0.25; done; }
visible() { await "$1" && xdotool search --onlyvisible --name "^$1\$"; }  # window's title
shows() { $wine start /unix "$start_menu/$1.lnk" && check "$1's shortcut shows the main window \"$2\"" visible "$2"; }
quit_shell() { $wine taskkill /f /im korvane.exe >/dev/null 2>&1 || true; }
# A command line run as deployment tools and Programs and Features run it, to its exit code.
printf '%s\n' '#include <windows.h>' '#include <stdlib.h>' 'int main(void) { STARTUPINFOA si = {sizeof si}; PROCESS_INFORMATION pi; DWORD code = 99;
    if (CreateProcessA(0, getenv("COMMAND"), 0, 0, 0, 0, 0, 0, &si, &pi)) WaitForSingleObject(pi.hProcess, INFINITE), GetExitCodeProcess(pi.hProcess, &code);
    return (int)code; }' | x86_64-w64-mingw32-gcc -x c - -o "$work/run.exe"
entry() { $wine reg query "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" 2>&1 | tr -d '\r'; }  # name
run_entry() { COMMAND=$(entry "$1" | sed -n "s/^ *$2 *REG_SZ *//p") $wine "$work/run.exe"; }  # name, value
state() { snapshot && md5sum "$local_programs"/*/*.exe 2>/dev/null || true; }
fails() {  # what, exit code, command...: the code, and no file, registry value or program changed
    local what=$1 code=$2; shift 2
    state >"$work/pre.txt" && check "$what: exit code $code" test "$(status "$@")" = "$code"
    state >"$work/post.txt" && check "$what changes nothing" diff "$work/pre.txt" "$work/post.txt"
}
# An installer's question, answered as a user would: a click on its newest window's title, then the key.
press() { await "$1" && sleep 1 && xdotool mousemove --window "$(xdotool search --onlyvisible --name "^$1\$" | tail -1)" 10 10 click 1 sleep 0.5 key "$2"; }
cancelled() { run_entry "Acme Portal" UninstallString & press "Acme Portal Uninstall" Escape; wait $!; }
retried() {  # asked before anything changes; the shell closed, Retry; once installed, Finish
    $wine $acme_next & await "Acme Portal Setup" && sleep 2 && has "$(entry "Acme Portal")" "DisplayVersion    REG_SZ    $version" || return 1
    quit_shell && press "Acme Portal Setup" Return
    for _ in $(seq 60); do has "$(entry "Acme Portal")" 0.2.0 && break; sleep 0.5; done
    press "Acme Portal Setup" Return; wait $!
}
emulation() { $wine reg export "$1\\Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION" "$work/e.reg" /y \
    >/dev/null 2>&1 && iconv -f UTF-16 -t UTF-8 "$work/e.reg" | tr -d '\r' | grep .; }  # hive

# Installs that fail before they write anything.
plain=dist/korvane-$version-win64-setup.exe
mkdir -p "$local_programs" && : >"$local_programs/Korvane"
fails "a file where the install folder goes" 4 $wine "$plain" /S
fails "a /D on a drive that does not exist" 3 $wine "$plain" /S '/D=Q:\Korvane'
rm "$local_programs/Korvane"

# name, installer, shortcut argument, icon file (none: the shell's), publisher, main window's title
installs=("Korvane|$plain|||The Korvane developers|Korvane Demo"
          "Acme Portal|$acme_setup|$acme_url|acme-portal.ico|Acme|Acme Portal")
for entry in "${installs[@]}"; do
    IFS='|' read -r name setup argument icon publisher title <<<"$entry"
    check "$setup installs silently" $wine "$setup" /S
    dir=$local_programs/$name
    check "$name's files" test "$(cd "$dir" && find . -type f | cut -c3- | sort)" = "$(installed $icon)"
    win_dir="C:\\users\\$user\\AppData\\Local\\Programs\\$name"
    icon_path="$win_dir\\${icon:-korvane.exe}"
    check "$name.lnk: the shell, its argument, its icon" diff <(printf '%s\n' "$win_dir\\korvane.exe" "${argument:+\"$argument\"}" "$icon_path") \
        <(lnkinfo "$start_menu/$name.lnk" | sed -n 's/^[[:space:]]*\(Local path\|Command line arguments\|Icon location\)[[:space:]]*: //p')
    check "$name's uninstall entry" diff <(printf '    %s\n' "DisplayIcon    REG_SZ    $icon_path" "DisplayName    REG_SZ    $name" \
        "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ    $publisher" "QuietUninstallString    REG_SZ    \"$win_dir\\uninstall.exe\" /S _?=$win_dir" \
        "UninstallString    REG_SZ    \"$win_dir\\uninstall.exe\" _?=$win_dir") <(entry "$name" | grep -E '^ +(Display|Publisher|.*Uninstall)')
    check "$name sets the engine, as the guide's .reg file does" \
        diff <(awk '/^```reg$/ {on = 1; next} on && /^```$/ {exit} on' docs/skin-guide.md | grep .) <(emulation HKCU)
    # The installed checker and the shortcut, on the brand's URL or the built-in one, both served by nginx.
    report=$($wine "$dir/korvane-check.exe" $argument | tr -d '\r') && status=0 || status=$?
    check "$name's checker on its document" test "$status $(tail -1 <<<"$report" | cut -c1-9)" = "0 VERDICT 0"
    quit_shell && shows "$name" "$title"
done
for f in korvane.exe korvane-check.exe uninstall.exe; do check "$f signed" has "$(verify "$local_programs/Acme Portal/$f")" "verification: ok"; done

# Acme Portal 0.2.0 meets 0.1.0 whose shell runs from the folder: silent runs fail; asked, the user closes the
# shell and retries the upgrade, or cancels the uninstall. Then another /D, a downgrade.
fails "a silent upgrade while the shell runs" 5 $wine $acme_next /S
fails "a quiet uninstall while the shell runs" 5 run_entry "Acme Portal" QuietUninstallString
fails "an uninstall while the shell runs, cancelled" 5 cancelled
check "an upgrade while the shell runs, retried once it is closed" test "$(status retried)" = 0
check "its finish page starts the new shell" visible "Acme Portal"
quit_shell
check "an upgrade with another /D goes where the installed version is: never two copies" test "$(status $wine $acme_next /S '/D=C:\Elsewhere')$(
    entry "Acme Portal" | grep -e DisplayVersion -e InstallLocation)" = "0$(printf '    %s    REG_SZ    %s\n' DisplayVersion 0.2.0 InstallLocation "$win_dir")" \
    -a ! -e "$WINEPREFIX/drive_c/Elsewhere"
fails "a downgrade" 6 $wine $acme_setup /S

# The entries' quiet uninstalls return when all is gone; the engine setting stays for the other brand. Once
# Windows has restarted (the uninstallers moved themselves into Temp), nothing is left.
for name in Korvane "Acme Portal"; do
    check "$name's quiet uninstall: when it returns, all is gone" test "$(status run_entry "$name" QuietUninstallString)" = 0 \
        -a ! -e "$local_programs/$name" -a ! -e "$start_menu/$name.lnk" -a "$(entry "$name" | grep -c REG_)" = 0
    check "$name's uninstall leaves the other" test "$name" = "Acme Portal" -o "$(emulation HKCU | grep -c 2af9)" = 1 -a -f "$local_programs/Acme Portal/korvane.exe"
    check "$name's uninstall leaves no folder in Temp" test -z "$(find "$WINEPREFIX/drive_c" -type d -name '*ns*.tmp')"
done
$wine wineboot -r >/dev/null 2>&1
snapshot >"$work/after.txt"
check "nothing is left after uninstalling" diff "$work/before.txt" "$work/after.txt"

# The MSIs, in the same prefix (whose per-machine shortcuts Wine puts in the user's Start menu): refused
# URLs (a failed install's 1603 comes out as 67), an upgrade from a build of a lower version, and a brand.
msi=dist/korvane-$version-win64.msi programs=$WINEPREFIX/drive_c/Program\ Files
(prog=release-test && source scripts/lib/packaging.sh && version=0.0.1 && make_msi win64 "$work/old.msi")
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
arp_entry() { printf '    %s\n' "DisplayName    REG_SZ    $1" "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ    $2"; }
korvane=$(arp_entry Korvane "The Korvane developers")
check "the older MSI installs with KORVANE_URL" $wine msiexec /i "$work/old.msi" /qn KORVANE_URL="$acme_url"
check "the MSI upgrades it" $wine msiexec /i "$msi" /qn
check "the upgrade keeps the shortcut's URL" test "$(arguments Korvane)" = "$acme_url"
$wine msiexec /i "$work/old.msi" /qn && status=0 || status=$?
check "the older MSI does not go over it; one entry" test "$status$(entries)" = "67$korvane"
check "the MSI's files" test "$(cd "$programs/Korvane" && find . -type f | cut -c3- | sort)" = "$(installed | grep -v uninstall)"
check "the engine setting for korvane.exe" has "$(emulation HKLM)" '"korvane.exe"=dword:00002af9'
shows Korvane "Acme Portal" && quit_shell
check "the branded MSI installs beside it" $wine msiexec /i $acme_msi /qn
check "the brand's shortcut's URL" test "$(arguments "Acme Portal")" = "$acme_url"
for f in $acme_msi "$programs/Acme Portal/korvane.exe"; do check "$f signed" has "$(verify "$f")" "verification: ok"; done
check "an entry each" test "$(entries)" = "$({ arp_entry Korvane "The Korvane developers"; arp_entry "Acme Portal" Acme; } | sort)"
check "the branded MSI removes silently" $wine msiexec /x $acme_msi /qn
check "which leaves Korvane and its engine setting" test -f "$programs/Korvane/korvane.exe" -a ! -e "$programs/Acme Portal" \
    -a "$(emulation HKLM | grep -c 2af9)" = 1
check "the MSI removes silently" $wine msiexec /x "$msi" /qn
snapshot >"$work/removed.txt"
check "nothing is left after removing the MSIs" diff "$work/before.txt" "$work/removed.txt"

echo "release test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
