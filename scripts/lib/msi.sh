# Sourced by packaging.sh: the per-machine Windows Installer package of a
# Release tree, built with wixl from cmake/packaging/korvane.wxs.

# The codes are name-based UUIDs, the same in every build: a product's
# UpgradeCode comes from its name in lower case (Program Files and the Start
# menu do not tell case apart either), so the plain Korvane keeps one and each
# brand has its own; its components' codes from the UpgradeCode. The engine
# setting's component is shared by every package of an architecture.
msi_namespace=8C1E4B52-3F0D-4A6E-9B7C-2D5A61F0E3B9
msi_uuid() {  # namespace, name
    python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' "$1" "$2"
}

# Writes OUT from build/release-ARCH at $version; without a name, the plain
# Korvane on the built-in URL with the shell's icon. Its text must be
# Windows-1252 (brand.sh checks). Signs the programs, the custom action and
# the package when scripts/sign.sh is set up.
make_msi() {  # arch, out (absolute), [name, publisher, default URL, icon]
    local arch=$1 out=$2 name=${3:-Korvane} publisher=${4:-The Korvane developers} url=${5:-} icon=${6:-}
    local dir=build/release-$arch wixl_arch=x86 folder=ProgramFilesFolder win64=no
    [ "$arch" = win32 ] || { wixl_arch=x64 folder=ProgramFiles64Folder win64=yes; }

    # wixl takes only paths relative to the working folder, the tree's root.
    local stage=$dir/msi-stage
    rm -rf "$stage"
    cmake --install "$dir" --component programs --prefix "$stage" --strip >/dev/null
    cp "$dir/korvane-msi-url.dll" "$stage/"
    cp "${icon:-$dir/generated/korvane.ico}" "$stage/product.ico"
    [ -z "${KORVANE_SIGN_PFX:-}" ] || bash scripts/sign.sh "$stage"/*.exe "$stage/korvane-msi-url.dll"

    local upgrade
    upgrade=$(msi_uuid "$msi_namespace" "${name,,}")
    local defines=(-D "Name=$name" -D "Publisher=$publisher" -D "Version=$version" -D "UpgradeCode=$upgrade"
                   -D "Stage=$stage" -D "ProgramFilesFolder=$folder" -D "Win64=$win64"
                   -D "ProgramsGuid=$(msi_uuid "$upgrade" "$arch programs")" -D "GuideGuid=$(msi_uuid "$upgrade" "$arch guide")"
                   -D "EmulationGuid=$(msi_uuid "$msi_namespace" "$arch FEATURE_BROWSER_EMULATION")")
    [ -z "$url" ] || defines+=(-D "DefaultUrl=$url")
    rm -f "$out"
    # wixl reads -D values in the locale's character set, which is ASCII
    # unless told.
    CHARSET=UTF-8 wixl -a "$wixl_arch" -o "$out" "${defines[@]}" cmake/packaging/korvane.wxs >"$stage/wixl.log" 2>&1 &&
        msibuild "$out" -q "DELETE FROM Upgrade WHERE ActionProperty = 'KORVANE_OLDER'" \
            -q "INSERT INTO Upgrade (UpgradeCode, VersionMin, VersionMax, Attributes, ActionProperty)
                VALUES ('{$upgrade}', '0.0.0', '$version', 768, 'KORVANE_OLDER')" \
            -q "UPDATE Property SET Value = 'KORVANE_OLDER;KORVANE_NEWER;KORVANE_URL' WHERE Property = 'SecureCustomProperties'" \
            >>"$stage/wixl.log" 2>&1 ||
        { cat "$stage/wixl.log" >&2; die "wixl failed on $dir"; }
    [ -z "${KORVANE_SIGN_PFX:-}" ] || bash scripts/sign.sh "$out"
}
