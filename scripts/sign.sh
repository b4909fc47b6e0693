#!/usr/bin/env bash
# Signs a Windows program in place with an Authenticode signature (SHA-256),
# using Debian's osslsigncode:
#
#   CORVANE_SIGN_PFX=release.pfx CORVANE_SIGN_PASSWORD=... scripts/sign.sh FILE
#
#   CORVANE_SIGN_PFX            the code-signing certificate and its private
#                               key, a PKCS#12 file (.pfx or .p12); required
#   CORVANE_SIGN_PASSWORD       its password (none if unset)
#   CORVANE_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server; with it the
#                               signature stays valid after the certificate
#                               expires
#
# The password reaches osslsigncode through a pipe, never on a command line.
# FILE keeps its permissions; if signing fails it is left as it was.
set -euo pipefail
. "$(dirname "$0")/packages.sh"
need_packages osslsigncode

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 FILE (an existing Windows program to sign in place)" >&2
  exit 2
fi
if [ -z "${CORVANE_SIGN_PFX:-}" ]; then
  echo "sign.sh: CORVANE_SIGN_PFX is not set: name the PKCS#12 file (.pfx) that holds" \
       "the code-signing certificate and its key; nothing was signed." >&2
  exit 1
fi
file=$1
timestamp=()
if [ -n "${CORVANE_SIGN_TIMESTAMP_URL:-}" ]; then
  timestamp=(-ts "$CORVANE_SIGN_TIMESTAMP_URL")
fi
# osslsigncode writes a new file; it replaces FILE once it is complete.
work=$(mktemp -d "$(dirname "$file")/.sign-XXXXXX")
trap 'rm -rf "$work"' EXIT
osslsigncode sign -pkcs12 "$CORVANE_SIGN_PFX" \
  -readpass <(printf '%s' "${CORVANE_SIGN_PASSWORD:-}") \
  -h sha256 -n Corvane "${timestamp[@]}" -in "$file" -out "$work/signed" >/dev/null
chmod --reference="$file" "$work/signed"
mv -f "$work/signed" "$file"
echo "Signed $file"
