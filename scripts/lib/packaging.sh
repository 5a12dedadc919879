# Sourced by scripts/release.sh and scripts/brand.sh, from the tree's root,
# with $prog naming the caller in messages: the Release trees that CPack packs,
# the signing options the two scripts share, and with msi.sh the MSI.

die() { echo "$prog: $*" >&2; exit 1; }

version=$(sed -n 's/^project(Korvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"

is_http_url() { [[ $1 =~ ^[Hh][Tt][Tt][Pp][Ss]?://[^[:space:][:cntrl:]\"]+$ ]]; }

# Two runs at once would configure and pack in the same trees; the second
# waits for the first.
lock_release_trees() {
    mkdir -p build
    exec 8>build/release.lock
    flock 8
}

# Configures (once; later runs pick up new files and a changed version) and
# builds build/release-ARCH.
release_tree() {  # arch: win32 | win64
    local arch=$1 cpu
    case $arch in
        win32) cpu=i686 ;;
        win64) cpu=x86_64 ;;
        *) die "unknown architecture $arch (win32 or win64)" ;;
    esac
    local dir=build/release-$arch
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF \
            -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$cpu.cmake" >/dev/null
    else
        cmake "$dir" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
}

# Runs cpack on build/release-ARCH into a fresh OUT folder (absolute path);
# its log stays there and is shown when it fails.
run_cpack() {  # arch, generators, out, cpack -D settings...
    local dir=build/release-$1 generators=$2 out=$3
    shift 3
    rm -rf "$out"
    mkdir -p "$out"
    cpack -G "$generators" --config "$dir/CPackConfig.cmake" -B "$out" "$@" >"$out/cpack.log" 2>&1 ||
        { cat "$out/cpack.log" >&2; die "cpack failed on $dir"; }
}

# --sign PFX --password-file FILE [--timestamp URL]: scripts/sign.sh reads
# them from the environment, which CPack and makensis pass on to it. Nothing
# inherited from the caller's environment signs by accident.
unset KORVANE_SIGN_PFX KORVANE_SIGN_PASSWORD_FILE KORVANE_SIGN_TIMESTAMP
sign_option() {  # option, value; fails for any other option
    case $1 in
        --sign) export KORVANE_SIGN_PFX=$2 ;;
        --password-file) export KORVANE_SIGN_PASSWORD_FILE=$2 ;;
        --timestamp) export KORVANE_SIGN_TIMESTAMP=$2 ;;
        *) return 1 ;;
    esac
}

# Refuses what would fail half-way through the packing.
check_signing() {
    if [ -z "${KORVANE_SIGN_PFX:-}" ]; then
        [ -z "${KORVANE_SIGN_PASSWORD_FILE:-}${KORVANE_SIGN_TIMESTAMP:-}" ] ||
            die "--password-file and --timestamp go with --sign"
        return 0
    fi
    [ -f "$KORVANE_SIGN_PFX" ] || die "no certificate file $KORVANE_SIGN_PFX"
    [ -n "${KORVANE_SIGN_PASSWORD_FILE:-}" ] || die "--sign needs --password-file"
    [ -f "$KORVANE_SIGN_PASSWORD_FILE" ] || die "no password file $KORVANE_SIGN_PASSWORD_FILE"
    openssl pkcs12 -in "$KORVANE_SIGN_PFX" -passin "file:$KORVANE_SIGN_PASSWORD_FILE" -noout 2>/dev/null ||
        die "cannot open $KORVANE_SIGN_PFX with the password in $KORVANE_SIGN_PASSWORD_FILE"
    [ -z "${KORVANE_SIGN_TIMESTAMP:-}" ] || check_timestamp_server "$KORVANE_SIGN_TIMESTAMP"
    # cpack and makensis sign from folders of their own.
    KORVANE_SIGN_PFX=$(realpath "$KORVANE_SIGN_PFX")
    KORVANE_SIGN_PASSWORD_FILE=$(realpath "$KORVANE_SIGN_PASSWORD_FILE")
}

# A timestamp server that cannot be reached would fail the first signature,
# deep inside cpack's output.
check_timestamp_server() {  # url
    is_http_url "$1" && [[ $1 =~ ^[Hh][Tt][Tt][Pp]([Ss]?)://([^/:?#]+)(:([0-9]+))?([/?#]|$) ]] ||
        die "the timestamp URL must start with http:// or https:// and name a host: $1"
    local host=${BASH_REMATCH[2]} port=${BASH_REMATCH[4]}
    [ -n "$port" ] || { port=80; [ -z "${BASH_REMATCH[1]}" ] || port=443; }
    getent ahosts "$host" >/dev/null ||
        die "the timestamp server's name $host does not resolve ($1)"
    timeout 10 bash -c ': </dev/tcp/$0/$1' "$host" "$port" 2>/dev/null ||
        die "the timestamp server $host does not answer on port $port ($1)"
}

signing_note() {
    if [ -n "${KORVANE_SIGN_PFX:-}" ]; then
        echo "$prog: programs and installers signed with $KORVANE_SIGN_PFX${KORVANE_SIGN_TIMESTAMP:+, timestamped by $KORVANE_SIGN_TIMESTAMP}"
    else
        echo "$prog: not signed (sign with --sign CERT.pfx --password-file FILE)"
    fi
}

source scripts/lib/msi.sh
