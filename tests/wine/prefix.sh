#!/bin/sh
# The throwaway Wine prefix that the Wine suites share during one ctest run.
#
#   prefix.sh setup STATE_FILE WINE WINESERVER SERVER_DLL
#     makes a fresh prefix in a temporary folder, starts a persistent
#     wineserver for it, registers the test pinned-list server and writes
#     the prefix's path into STATE_FILE
#   prefix.sh cleanup STATE_FILE WINESERVER
#     stops that wineserver and removes the prefix
set -eu

class='{90AA3A4E-1CBA-4233-B8BB-535773D48449}'
key="HKCR\\CLSID\\$class\\InprocServer32"

# Console programs only: no display, no Mono or Gecko installers.
export WINEDEBUG=-all
export DISPLAY=
export WINEDLLOVERRIDES='mscoree,mshtml='

case "${1:-}" in
setup)
  state=$2 wine=$3 wineserver=$4 server=$5
  if [ -f "$state" ]; then "$0" cleanup "$state" "$wineserver"; fi
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/corvane-wine-XXXXXX")
  export WINEPREFIX
  log=$WINEPREFIX.log
  # The server and the services that wineboot starts outlive this script:
  # none of them may hold on to its output, or ctest waits for them.
  "$wineserver" -p </dev/null >/dev/null 2>&1
  if ! "$wine" wineboot -i </dev/null >"$log" 2>&1; then
    cat "$log" >&2
    echo "wineboot failed in $WINEPREFIX" >&2
    exit 1
  fi
  # Wine's COM looks the class up in HKEY_CLASSES_ROOT only.
  dll="Z:$(printf '%s' "$server" | tr / '\\')"
  "$wine" reg add "$key" /ve /d "$dll" /f </dev/null >>"$log" 2>&1
  "$wine" reg add "$key" /v ThreadingModel /d Apartment /f </dev/null >>"$log" 2>&1
  rm -f "$log"
  printf '%s\n' "$WINEPREFIX" >"$state"
  echo "Wine prefix: $WINEPREFIX"
  ;;
cleanup)
  state=$2 wineserver=$3
  [ -f "$state" ] || exit 0
  WINEPREFIX=$(cat "$state")
  export WINEPREFIX
  case "$WINEPREFIX" in
  */corvane-wine-*) ;;
  *) echo "not a Corvane test prefix: $WINEPREFIX" >&2; exit 1 ;;
  esac
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  rm -f "$state"
  ;;
*)
  echo "usage: $0 setup STATE_FILE WINE WINESERVER SERVER_DLL | cleanup STATE_FILE WINESERVER" >&2
  exit 2
  ;;
esac
