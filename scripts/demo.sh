#!/usr/bin/env bash
# Installs the build tools (Debian 12, as root; as another user it names
# what is missing and stops), builds corv, and pins the bundled example
# shortcut into a demo taskbar under build/demo-appdata, then unpins it
# again.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake ninja-build g++

cmake --preset default -DCORVANE_BUILD_TESTS=OFF
cmake --build --preset default

export APPDATA="$PWD/build/demo-appdata"
rm -rf "$APPDATA"
pins="$APPDATA/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar"
set +e
echo '$ corv examples/Example.lnk p'
./build/default/corv examples/Example.lnk p; echo "exit code $?"
echo "pinned: $(ls "$pins")"
echo '$ corv examples/Example.lnk v     # already pinned: nothing to do'
./build/default/corv examples/Example.lnk v; echo "exit code $?"
echo '$ corv examples/Example.lnk u'
./build/default/corv examples/Example.lnk u; echo "exit code $?"
echo "pinned: $(ls "$pins")"

# The AppUserModelID is written into a copy; the bundled example stays as it is.
cp examples/Example.lnk build/demo-Example.lnk
echo '$ corv build/demo-Example.lnk g'
./build/default/corv build/demo-Example.lnk g; echo "exit code $?"
echo '$ corv build/demo-Example.lnk s Contoso.Editor.Main'
./build/default/corv build/demo-Example.lnk s Contoso.Editor.Main; echo "exit code $?"
echo '$ corv build/demo-Example.lnk g'
./build/default/corv build/demo-Example.lnk g; echo "exit code $?"
