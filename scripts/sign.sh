#!/usr/bin/env bash
# Signs a Windows program in place with an Authenticode signature (SHA-256,
# marked for commercial use), using Debian's osslsigncode, with a key from
# a PKCS#12 file or on a PKCS#11 token (a smart card, USB key or hardware
# security module, where publicly trusted code-signing keys must now stay):
#
#   CORVANE_SIGN_PFX=release.pfx CORVANE_SIGN_PASSWORD=... scripts/sign.sh FILE
#   CORVANE_SIGN_PKCS11_MODULE=/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so \
#   CORVANE_SIGN_PKCS11_KEY='pkcs11:token=Release;object=signing' \
#   CORVANE_SIGN_PKCS11_CERT=chain.pem CORVANE_SIGN_PASSWORD=PIN scripts/sign.sh FILE
#
#   CORVANE_SIGN_PFX            the code-signing certificate and its private
#                               key, a PKCS#12 file (.pfx or .p12)
#   CORVANE_SIGN_PKCS11_MODULE  or the token's PKCS#11 module (a .so file),
#   CORVANE_SIGN_PKCS11_KEY     the PKCS#11 URI of the private key on it, and
#   CORVANE_SIGN_PKCS11_CERT    the certificate: a PEM file with it and the
#                               CA certificates between it and the root (a
#                               certificate kept on the token can be saved
#                               with pkcs11-tool --read-object or p11tool)
#   CORVANE_SIGN_PASSWORD       the PKCS#12 file's password or the token's
#                               PIN (none if unset)
#   CORVANE_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server; with it the
#                               signature stays valid after the certificate
#                               expires, without it the signature lapses with
#                               the certificate (a warning says so)
#
# Exit codes: 0 signed; 1 nothing signed (no key named, or an incomplete
# one, or osslsigncode failed); 2 usage. The password or PIN reaches
# osslsigncode through a pipe, never on a command line. FILE keeps its
# permissions; if signing fails it is left as it was.
set -euo pipefail
. "$(dirname "$0")/packages.sh"
need_packages osslsigncode

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 FILE (an existing Windows program to sign in place)" >&2
  exit 2
fi
refuse() { echo "sign.sh: $*; nothing was signed." >&2; exit 1; }
pkcs11=${CORVANE_SIGN_PKCS11_MODULE:-}${CORVANE_SIGN_PKCS11_KEY:-}${CORVANE_SIGN_PKCS11_CERT:-}
if [ -n "${CORVANE_SIGN_PFX:-}" ] && [ -n "$pkcs11" ]; then
  refuse "CORVANE_SIGN_PFX and CORVANE_SIGN_PKCS11_* are both set: name one key"
elif [ -n "${CORVANE_SIGN_PFX:-}" ]; then
  key=(-pkcs12 "$CORVANE_SIGN_PFX")
elif [ -n "$pkcs11" ]; then
  for name in CORVANE_SIGN_PKCS11_MODULE CORVANE_SIGN_PKCS11_KEY CORVANE_SIGN_PKCS11_CERT; do
    [ -n "${!name:-}" ] || refuse "$name is not set (a PKCS#11 key needs the module, the key" \
                                  "and the certificate)"
  done
  # osslsigncode reaches the module through OpenSSL's pkcs11 engine.
  need_packages libengine-pkcs11-openssl
  key=(-pkcs11module "$CORVANE_SIGN_PKCS11_MODULE" -key "$CORVANE_SIGN_PKCS11_KEY"
       -certs "$CORVANE_SIGN_PKCS11_CERT")
else
  refuse "CORVANE_SIGN_PFX is not set: name the PKCS#12 file (.pfx) that holds the" \
         "code-signing certificate and its key, or a key on a token with" \
         "CORVANE_SIGN_PKCS11_MODULE, CORVANE_SIGN_PKCS11_KEY and CORVANE_SIGN_PKCS11_CERT"
fi
file=$1
timestamp=()
if [ -n "${CORVANE_SIGN_TIMESTAMP_URL:-}" ]; then
  timestamp=(-ts "$CORVANE_SIGN_TIMESTAMP_URL")
else
  echo "sign.sh: warning: CORVANE_SIGN_TIMESTAMP_URL is not set, so the signature has no" \
       "time stamp: Windows will take it for invalid once the certificate expires. Set it" \
       "to your CA's RFC 3161 time-stamping server for a release." >&2
fi
# osslsigncode writes a new file; it replaces FILE once it is complete.
work=$(mktemp -d "$(dirname "$file")/.sign-XXXXXX")
trap 'rm -rf "$work"' EXIT
osslsigncode sign "${key[@]}" -readpass <(printf '%s' "${CORVANE_SIGN_PASSWORD:-}") \
  -h sha256 -comm -n Corvane "${timestamp[@]}" -in "$file" -out "$work/signed" >/dev/null ||
  refuse "osslsigncode could not sign $file"
chmod --reference="$file" "$work/signed"
mv -f "$work/signed" "$file"
echo "Signed $file"
