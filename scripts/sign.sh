#!/usr/bin/env bash
# Authenticode-signs Windows programs in place with osslsigncode (SHA-256),
# with the certificate and key of a PKCS#12 file:
#   KORVANE_SIGN_PFX=cert.pfx KORVANE_SIGN_PASSWORD_FILE=F \
#   [KORVANE_SIGN_TIMESTAMP=URL] scripts/sign.sh FILE.exe...
# A timestamp (RFC 3161, from the URL's server) is added only when a URL is
# given. scripts/release.sh and scripts/brand.sh set these from --sign,
# --password-file and --timestamp; CPack and makensis call this script.
set -euo pipefail
die() { echo "sign: $*" >&2; exit 1; }
[ -n "${KORVANE_SIGN_PFX:-}" ] || die "KORVANE_SIGN_PFX is not set"
[ -n "${KORVANE_SIGN_PASSWORD_FILE:-}" ] || die "KORVANE_SIGN_PASSWORD_FILE is not set"
for file in "$@"; do
    args=(sign -pkcs12 "$KORVANE_SIGN_PFX" -readpass "$KORVANE_SIGN_PASSWORD_FILE" -h sha256
          -in "$file" -out "$file.signed")
    [ -z "${KORVANE_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$KORVANE_SIGN_TIMESTAMP")
    rm -f "$file.signed"
    out=$(osslsigncode "${args[@]}" 2>&1) || die "could not sign $file: $out"
    mv -f "$file.signed" "$file"
done
