#!/usr/bin/env bash
# Builds the Debian package (preset linux; arguments go to its configure
# step), checks it with lintian (any error or warning fails) and its
# version against CHANGELOG.md (the latest release, or between it and the
# next patch release in Debian's order while changes are unreleased), and
# tries what it installs: corv prints its usage text with exit code 255,
# pins and unpins the bundled example in a throwaway taskbar folder, and
# its manual page renders without a warning.
#
# As root the package is installed with dpkg -i and tried where it lands,
# /usr/bin/corv and `man corv`; it is removed again afterwards unless a
# corvane package was installed before. As another user it is unpacked with
# dpkg-deb into a temporary folder and tried there.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake ninja-build g++ man-db groff-base lintian

rm -f build/linux/corvane_*.deb
cmake --preset linux "$@" >/dev/null
cmake --build --preset linux
cpack --preset linux >/dev/null
deb=$(echo build/linux/corvane_*.deb)

fail() { echo "deb-test.sh: $deb: $*" >&2; exit 1; }
work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 ||
  fail "lintian: $(grep -v 'root privileges' "$work/lintian")"
version=$(dpkg-deb -f "$deb" Version)
release=$(sed -n 's/^## \[\([0-9]*\.[0-9]*\.[0-9]*\)\].*/\1/p' CHANGELOG.md | head -n 1)
if awk '/^## \[Unreleased\]/ { on = 1; next } /^## \[/ { on = 0 } on && /^[-*] / { n++ }
        END { exit n == 0 }' CHANGELOG.md; then
  next=${release%.*}.$((${release##*.} + 1))
  dpkg --compare-versions "$version" gt "$release" && dpkg --compare-versions "$version" lt "$next" ||
    fail "a snapshot after $release has version $version, not one between $release and $next"
else
  [ "$version" = "$release" ] || fail "release $release has version $version"
fi
if [ "$(id -u)" = 0 ]; then
  before=$(dpkg-query -W -f='${Status}' corvane 2>/dev/null || true)
  dpkg -i "$deb" >/dev/null
  if [ "$before" != "install ok installed" ]; then
    cleanup() { dpkg -r corvane >/dev/null; rm -rf "$work"; }
  fi
  corv=/usr/bin/corv
  page=/usr/share/man/man1/corv.1.gz
  [ -f "$page" ] || fail "dpkg -i left no $page (a path-exclude in /etc/dpkg/dpkg.cfg.d?)"
  [ "$(man -w corv)" = "$page" ] || fail "man corv finds $(man -w corv), not $page"
else
  dpkg-deb -x "$deb" "$work/root"
  corv=$work/root/usr/bin/corv
  page=$work/root/usr/share/man/man1/corv.1.gz
fi

status=0
"$corv" --help >"$work/help" || status=$?
[ "$status" = 255 ] || fail "corv --help ended with $status, not 255"
tr -d '\r' <"$work/help" | cmp -s - tests/e2e/help.txt || fail "corv --help printed another text"

cp examples/Example.lnk "$work/Example.lnk"
pin="$work/appdata/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar/Example.lnk"
APPDATA=$work/appdata "$corv" "$work/Example.lnk" p >/dev/null || fail "corv p failed"
cmp -s "$pin" examples/Example.lnk || fail "corv p left no pin"
APPDATA=$work/appdata "$corv" "$work/Example.lnk" u || fail "corv u failed"
[ ! -e "$pin" ] || fail "corv u left the pin"

MANWIDTH=80 man --warnings -l "$page" >"$work/page" 2>"$work/warnings" || fail "man -l failed"
[ ! -s "$work/warnings" ] || fail "man -l warned: $(cat "$work/warnings")"
grep -q "pin shortcuts to the taskbar" "$work/page" || fail "the manual page has no NAME line"
echo "$deb: lintian is clean, version $version; corv --help, p, u and man -l $page work"
