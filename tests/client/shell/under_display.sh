#!/usr/bin/env bash
# Runs the tests of a test program that need a real display (the notification-area icon):
#   under_display.sh PROGRAM.exe GTEST_FILTER
# in a prefix of its own with Wine's X11 driver on a private Xvfb display. The test prefixes keep
# the null driver, where those tests skip themselves.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/winenv"
program=$1 filter=$2
arch=$(ferrowin_pe_arch "$program")
export WINEPREFIX_STEM=${WINEPREFIX_STEM:-$root/.wine}-display
ferrowin_use "$arch"
"$root/scripts/wineprefix" "$arch"
ferrowin_use_x11

tmp=$(mktemp -d)
FERROWIN_XVFB=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$FERROWIN_XVFB" ] && kill "$FERROWIN_XVFB" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
ferrowin_xvfb_start "$tmp"
FERROWIN_DISPLAY_TESTS=1 "$WINE" "$program" --gtest_filter="$filter"
