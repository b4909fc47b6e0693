#!/usr/bin/env bash
# The Windows release (run by scripts/test.sh after the Windows build):
#
# 1. the version that CHANGELOG.md and the commit give, on a repository with
#    one fixed commit: a snapshot's, a release's, and the snapshot's again
#    from a `git archive` of that commit;
# 2. reproducible: a copy of the tree in another folder, and a `git archive`
#    of HEAD built with SOURCE_DATE_EPOCH set to the commit's time, build the
#    same corv.exe and ZIP (SHA-256) as build/windows;
# 3. signed: through the ZIP build with a PKCS#12 file from a throwaway CA,
#    corv.exe verifies against that CA only and is the unsigned build plus
#    a signature; with a key on a SoftHSM2 token (PKCS#11), marked for
#    commercial use, once without a time stamp (sign.sh warns, and the
#    signature fails once the certificate has expired), once with a time
#    stamp from a local RFC 3161 server (tests/release/timestamp_server.py),
#    which keeps it valid after that.
#
# The archive of step 2 is of HEAD, so it is built only when the work tree
# holds no uncommitted change to a tracked file.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake ninja-build g++-mingw-w64-x86-64-win32 zip unzip osslsigncode openssl git \
  softhsm2 libengine-pkcs11-openssl python3
fail() { echo "release-test.sh: $*" >&2; exit 1; }
root=$PWD work=$(mktemp -d)
tsa_PID=  # the time-stamping server's, once it runs
trap '[ -z "$tsa_PID" ] || kill "$tsa_PID" 2>/dev/null; rm -rf "$work"' EXIT
unset SOURCE_DATE_EPOCH CORVANE_SIGN_PFX CORVANE_SIGN_TIMESTAMP_URL CORVANE_SIGN_PKCS11_MODULE \
  CORVANE_SIGN_PKCS11_KEY CORVANE_SIGN_PKCS11_CERT

# 1. The version.
repo=$work/repo
mkdir -p "$repo/cmake"
version() {  # project(VERSION), the entries under [Unreleased], [source folder]
  local source=${3:-$repo}
  printf '# Changelog\n\n## [Unreleased]\n%s\n## [0.1.0] - 2026-01-01\n' "$2" >"$source/CHANGELOG.md"
  cmake -DPROJECT_SOURCE_DIR="$source" -DPROJECT_VERSION="$1" -P cmake/release.cmake 2>/dev/null |
    sed -n 's/^-- Corvane //p'
}
git -C "$repo" init -q && version 0.1.0 '- A change.' >/dev/null
printf 'cmake/archive-commit.txt export-subst\n' >"$repo/.gitattributes"
printf '$Format:%%H %%ct$\n' >"$repo/cmake/archive-commit.txt"
git -C "$repo" add .
GIT_AUTHOR_DATE=@1767312000 GIT_COMMITTER_DATE=@1767312000 git -C "$repo" -c user.name=Test \
  -c user.email=test@example.org commit -q -m 'One change'
# The commit is 24 hours after 0.1.0's release date began: snapshot 0.1.0.25.
snapshot="0.1.0.25+g3d96475252d0 (a snapshot, file version 0.1.0.25)"
[ "$(version 0.1.0 '- A change.')" = "$snapshot, dated 1767312000" ] || fail unreleased
[ "$(version 0.1.0 '')" = "0.1.0 (a release, file version 0.1.0.0), dated 1767312000" ] ||
  fail "changelog cut for 0.1.0"
[ -z "$(version 0.2.0 '')" ] || fail "project(VERSION) 0.2.0 after release 0.1.0 is taken"
# From an archive, the same: the number is the commit's, whatever the date.
mkdir "$work/exported" && git -C "$repo" archive HEAD | tar -xf - -C "$work/exported"
[ "$(SOURCE_DATE_EPOCH=1767398399 version 0.1.0 '- A change.' "$work/exported")" = \
  "$snapshot, dated 1767398399" ] || fail "a source archive, or a later date, changes the version"
# Below the top of a work tree, git's commit is another project's.
mkdir "$repo/vendored" && [ "$(version 0.1.0 '- A change.' "$repo/vendored")" = \
  "0.1.0.1+unreleased (a snapshot, file version 0.1.0.1), dated 315532800" ] ||
  fail "a tree inside another repository takes its commit"

# 2. Reproducible.
cmake --build --preset windows-zip >/dev/null
same_build() {  # FOLDER [SOURCE_DATE_EPOCH]: builds the ZIP there, compares it with build/windows
  (cd "$1" && if [ -n "${2:-}" ]; then export SOURCE_DATE_EPOCH=$2; fi &&
    cmake --preset windows -DCORVANE_BUILD_TESTS=OFF >/dev/null &&
    cmake --build --preset windows-zip >/dev/null)
  zip=$(cd "$1/build/windows" && echo corvane-*-win64.zip)
  for file in corv.exe "$zip"; do
    [ "$(sha256sum <"build/windows/$file")" = "$(sha256sum <"$1/build/windows/$file")" ] ||
      fail "$file from $1 differs from build/windows (or is not there)"
  done
}
copy=$work/elsewhere/corvane
mkdir -p "$copy" && tar -cf - --exclude=./build . | tar -xmf - -C "$copy"  # -m: dated now
same_build "$copy"
# A source archive is of HEAD: with uncommitted changes (a developer's run;
# CI runs on a clean clone) it cannot give build/windows' bytes.
if [ -z "$(git status --porcelain --untracked-files=no)" ]; then
  archive=$work/archive/corvane-source
  mkdir -p "$archive" && git archive HEAD | tar -xf - -C "$archive"
  same_build "$archive" "$(git log -1 --format=%ct HEAD)"
else
  echo "release-test.sh: uncommitted changes: the source archive of HEAD is not built" >&2
fi

# 3. Signed.
cd "$work"
cert() {  # NAME SUBJECT DAYS [ISSUER EXTENDED-KEY-USAGE]: NAME.key and NAME.pem
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days "$3" -subj "/CN=$2" \
    ${4:+-CA "$4.pem" -CAkey "$4.key" -addext basicConstraints=CA:FALSE -addext "extendedKeyUsage=$5"} 2>/dev/null
}
cert ca 'Corvane Test CA' 2 && cert signer 'Corvane Test Signer' 2 ca codeSigning
expired=$(($(date +%s) + 10 * 86400))  # a time after the signer's certificate expires

openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.pfx -passout pass:secret
cmake -S "$copy" -B "$copy/build/windows" -DCORVANE_SIGN=ON >/dev/null
out=$(CORVANE_SIGN_PFX=$work/signer.pfx CORVANE_SIGN_PASSWORD=secret \
  cmake --build "$copy/build/windows" --target corvane_zip 2>&1) || fail "the signed ZIP: $out"
unzip -p "$copy/build/windows/$zip" corv.exe >signed.exe
osslsigncode verify -CAfile ca.pem -in signed.exe >/dev/null || fail "the signature does not verify"
! osslsigncode verify -in signed.exe >/dev/null 2>&1 || fail "it verifies without the test CA"
osslsigncode remove-signature -in signed.exe -out unsigned.exe >/dev/null
cmp -s unsigned.exe "$root/build/windows/corv.exe" || fail "signed, corv.exe is not the build"
out=$("$root/scripts/sign.sh" unsigned.exe 2>&1) && fail "sign.sh signed without a certificate"
[[ $out == *"CORVANE_SIGN_PFX is not set"* ]] || fail "sign.sh without a certificate: $out"

# A key on a token, which it cannot leave (SoftHSM2, in a folder of its own), and no time
# stamp: sign.sh warns, and the signature lapses with the certificate.
export SOFTHSM2_CONF=$work/softhsm2.conf
mkdir tokens && echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label test --pin 4321 --so-pin 87654321 >/dev/null
softhsm2-util --import signer.key --token test --label signer --id 01 --pin 4321 >/dev/null
token() {  # FILE: sign.sh with the token's key
  cp "$root/build/windows/corv.exe" "$1"
  CORVANE_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so CORVANE_SIGN_PASSWORD=4321 \
    CORVANE_SIGN_PKCS11_KEY='pkcs11:token=test;object=signer' CORVANE_SIGN_PKCS11_CERT=signer.pem \
    "$root/scripts/sign.sh" "$1" 2>&1
}
out=$(token token.exe) || fail "sign.sh with the token's key: $out"
[[ $out == *"warning: CORVANE_SIGN_TIMESTAMP_URL is not set"* ]] || fail "no warning without a time stamp: $out"
osslsigncode verify -CAfile ca.pem -in token.exe >/dev/null || fail "the token's signature fails"
osslsigncode extract-signature -pem -in token.exe -out token.p7 >/dev/null
[[ $(openssl asn1parse -in token.p7) == *"Microsoft Commercial Code Signing"* ]] ||
  fail "the signature is not marked for commercial use"
! osslsigncode verify -CAfile ca.pem -time "$expired" -in token.exe >/dev/null 2>&1 ||
  fail "with no time stamp, the signature outlives its certificate"

# With a time stamp from a local RFC 3161 server, it outlives the certificate.
cert tsa-ca 'Corvane Test TSA CA' 30 && cert tsa 'Corvane Test TSA' 30 tsa-ca critical,timeStamping
echo 01 >tsa.serial
printf '[ tsa ]\ndefault_tsa = test\n[ test ]\nserial = tsa.serial\nsigner_cert = tsa.pem\n%s\n' \
  'signer_key = tsa.key' 'signer_digest = sha256' 'default_policy = 1.2.3.4.1' 'digests = sha256' >tsa.cnf
coproc tsa { exec python3 "$root/tests/release/timestamp_server.py" tsa.cnf 2>tsa.log; }
read -r port <&"${tsa[0]}" || fail "the time-stamping server did not start: $(cat tsa.log)"
out=$(CORVANE_SIGN_TIMESTAMP_URL=http://127.0.0.1:$port/ token stamped.exe) ||
  fail "sign.sh with a time stamp: $out $(cat tsa.log)"
verified=$(osslsigncode verify -CAfile ca.pem -TSA-CAfile tsa-ca.pem -time "$expired" -in stamped.exe) ||
  fail "time-stamped, the signature fails once its certificate has expired"
[[ $verified == *"Timestamp Server Signature verification: ok"* ]] || fail "the time stamp: $verified"
echo "release-test.sh: $zip built three times, SHA-256 $(cut -c1-64 "$root/build/windows/$zip.sha256");" \
  "signed from a file and from a token, with and without a time stamp, it verifies"
