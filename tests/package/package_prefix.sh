#!/usr/bin/env bash
# The package tests' own Wine prefix, fresh for each run of the suite:
#   package_prefix.sh setup|cleanup TEST_PROGRAM PREFIX
# setup makes PREFIX for the test program's architecture (the null graphics driver as in the
# other test prefixes; no menu entries made on this machine) and keeps its wineserver running,
# so that no restart in between runs an installed RunOnce entry behind the tests' back (Wine's
# boot runs it, as a logon would); cleanup ends that wineserver and deletes the prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/winenv"
action=$1 program=$2 prefix=$3
ferrowin_use "$(ferrowin_pe_arch "$program")"
export WINEPREFIX=$prefix WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
case $action in
  setup)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    # Shortcuts the package makes stay in the prefix, without menu entries on this machine.
    "$WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >/dev/null 2>&1
    wineserver -w
    # The boot of the running server is over before the first test starts.
    wineserver -p </dev/null >/dev/null 2>&1
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  cleanup)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
  *) echo "usage: $0 setup|cleanup TEST_PROGRAM PREFIX" >&2; exit 2 ;;
esac
