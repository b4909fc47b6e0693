#!/usr/bin/env bash
# Installs every test dependency (Debian 12, as root; as another user it
# names what is missing and stops), builds with every compiler warning an
# error, and runs the whole test suite: the Linux build (with end-to-end runs
# under valgrind), corv.exe from the Windows build under Wine next to it, the
# Windows release built three times and signed (scripts/release-test.sh), the
# Debian package installed and tried (scripts/deb-test.sh), the suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a minute of each
# fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# wine64 alone runs 64-bit programs; no i386 architecture is needed. man-db
# and groff-base show the Debian package's manual page, lintian checks it;
# zip makes the Windows ZIP, and unzip, osslsigncode and openssl try its
# signing, with softhsm2 as the token, libengine-pkcs11-openssl for
# osslsigncode to reach it, and python3 to run the local time-stamping
# server; libxml2-utils' xmllint checks the taskbar layout example.
need_packages cmake ninja-build g++ libgtest-dev libgmock-dev liblnk-utils \
  libbenchmark-dev liblnk-dev libbfio-dev pkg-config nlohmann-json3-dev \
  g++-mingw-w64-x86-64-win32 wine64 valgrind strace clang-14 libclang-rt-14-dev man-db \
  groff-base lintian zip unzip osslsigncode openssl git softhsm2 \
  libengine-pkcs11-openssl python3 libxml2-utils
strict=-DCORVANE_WARNINGS_AS_ERRORS=ON

# The Windows suites need the MinGW-w64 compilers and Wine; without them
# (a developer's machine that cannot install them) only the Linux build runs.
wine_tests=ON
if ! command -v x86_64-w64-mingw32-g++-win32 >/dev/null ||
   ! { command -v wine64 || command -v wine || [ -x /usr/lib/wine/wine64 ]; } >/dev/null; then
  echo "MinGW-w64 or Wine missing: skipping the Windows build and its suites." >&2
  wine_tests=OFF
fi

if [ "$wine_tests" = ON ]; then
  cmake --preset windows $strict
  cmake --build --preset windows-zip
fi
# The benchmarks are built (never run here) so that they keep compiling.
benchmarks=OFF
if command -v pkg-config >/dev/null && pkg-config --exists liblnk libbfio benchmark; then
  benchmarks=ON
fi
cmake --preset default $strict -DCORVANE_BUILD_TESTS=ON -DCORVANE_WINE_TESTS=$wine_tests \
  -DCORVANE_BUILD_BENCHMARKS=$benchmarks
cmake --build --preset default
ctest --preset default

# The Windows release: built three times to the same bytes (the third from a
# source archive), signed from a file and from a token, and verified.
if [ "$wine_tests" = ON ]; then
  ./scripts/release-test.sh
fi

if command -v dpkg-deb >/dev/null; then
  ./scripts/deb-test.sh $strict
else
  echo "dpkg-deb missing: skipping the Debian package." >&2
fi

# The whole suite again under the sanitizers.
cmake --preset sanitize $strict
cmake --build --preset sanitize -j2
ctest --preset sanitize -j2

if command -v clang++-14 >/dev/null; then
  ./scripts/fuzz.sh 60
else
  echo "clang 14 missing: skipping the fuzzers." >&2
fi
