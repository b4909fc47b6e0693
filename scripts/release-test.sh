#!/usr/bin/env bash
# The Windows release (run by scripts/test.sh after the Windows build): the
# version CHANGELOG.md gives, on a repository with one fixed commit; a copy
# of the tree in another folder builds the same corv.exe and ZIP (SHA-256);
# signed with a certificate from a throwaway CA, corv.exe verifies against
# that CA only and is the unsigned build plus a signature.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake ninja-build g++-mingw-w64-x86-64 zip unzip osslsigncode openssl git
fail() { echo "release-test.sh: $*" >&2; exit 1; }
root=$PWD work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset SOURCE_DATE_EPOCH CORVANE_SIGN_PFX

version() {  # project(VERSION), the entries under [Unreleased]
  printf '# Changelog\n\n## [Unreleased]\n%s\n## [0.1.0] - 2026-01-01\n' "$2" >"$work/CHANGELOG.md"
  cmake -DPROJECT_SOURCE_DIR="$work" -DPROJECT_VERSION="$1" -P cmake/release.cmake 2>/dev/null |
    sed -n 's/^-- Corvane //p'
}
git -C "$work" init -q && version 0.1.0 '- A change.' >/dev/null && git -C "$work" add CHANGELOG.md
GIT_AUTHOR_DATE=@1767312000 GIT_COMMITTER_DATE=@1767312000 git -C "$work" -c user.name=Test \
  -c user.email=test@example.org commit -q -m 'One change'
# The commit is 24 hours after 0.1.0's release date began: snapshot 0.1.0.25.
[ "$(version 0.1.0 '- A change.')" = \
  "0.1.0.25+g212108b7fc4c (a snapshot, file version 0.1.0.25), dated 1767312000" ] || fail unreleased
[ "$(version 0.1.0 '')" = "0.1.0 (a release, file version 0.1.0.0), dated 1767312000" ] ||
  fail "changelog cut for 0.1.0"
[ -z "$(version 0.2.0 '')" ] || fail "project(VERSION) 0.2.0 after release 0.1.0 is taken"

copy=$work/elsewhere/corvane
mkdir -p "$copy" && tar -cf - --exclude=./build . | tar -xmf - -C "$copy"  # -m: dated now
cmake --build --preset windows-zip >/dev/null
(cd "$copy" && cmake --preset windows -DCORVANE_BUILD_TESTS=OFF >/dev/null &&
  cmake --build --preset windows-zip >/dev/null)
zip=$(cd "$copy/build/windows" && echo corvane-*-win64.zip)
for file in corv.exe "$zip"; do
  [ "$(sha256sum <"build/windows/$file")" = "$(sha256sum <"$copy/build/windows/$file")" ] ||
    fail "two builds of $file differ"
done

cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj '/CN=Corvane Test CA' 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout signer.key -out signer.pem -days 2 \
  -subj '/CN=Corvane Test Signer' -CA ca.pem -CAkey ca.key \
  -addext basicConstraints=CA:FALSE -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.pfx -passout pass:secret
cmake -S "$copy" -B "$copy/build/windows" -DCORVANE_SIGN=ON >/dev/null
CORVANE_SIGN_PFX=$work/signer.pfx CORVANE_SIGN_PASSWORD=secret \
  cmake --build "$copy/build/windows" --target corvane_zip >/dev/null
unzip -p "$copy/build/windows/$zip" corv.exe >signed.exe
osslsigncode verify -CAfile ca.pem -in signed.exe >/dev/null || fail "the signature does not verify"
! osslsigncode verify -in signed.exe >/dev/null 2>&1 || fail "it verifies without the test CA"
osslsigncode remove-signature -in signed.exe -out unsigned.exe >/dev/null
cmp -s unsigned.exe "$root/build/windows/corv.exe" || fail "signed, corv.exe is not the build"
out=$("$root/scripts/sign.sh" unsigned.exe 2>&1) && fail "sign.sh signed without a certificate"
[[ $out == *"CORVANE_SIGN_PFX is not set"* ]] || fail "sign.sh without a certificate: $out"
echo "release-test.sh: $zip built twice, SHA-256 $(cut -c1-64 "$root/build/windows/$zip.sha256");" \
  "signed, it verifies"
