#!/usr/bin/env bash
# Installs every test dependency (Debian 12, as root), builds, and runs the
# whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ libgtest-dev libgmock-dev liblnk-utils >/dev/null
fi

cmake --preset default -DCORVANE_BUILD_TESTS=ON
cmake --build --preset default
ctest --preset default
