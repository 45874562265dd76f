#!/usr/bin/env bash
# An exchange file carried from one Wine prefix to another, as from one machine to the next:
#   exchange_round_trip.sh TEST_EXE
# The General page exports in the suite's prefix; a second prefix with a registry and a
# wineserver of its own (a light clone: copied registry files, the C: drive shared) imports the
# file, and the test there checks that every switch arrived by its position.
set -euo pipefail
test_exe=$1
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/winenv"
keep_prefix=${WINEPREFIX:-}
ferrowin_use "$(ferrowin_pe_arch "$test_exe")"
first=${keep_prefix:-$WINEPREFIX}

tmp=$(mktemp -d /tmp/ferrowin-exchange.XXXXXX)
second=$tmp/prefix
cleanup() {
  WINEPREFIX=$second wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
# Cloned before the export, so that nothing of it can reach the second registry but the file.
ferrowin_clone_prefix "$first" "$second"

export FERROWIN_EXCHANGE_FILE="Z:${tmp//\//\\}\\exchange"
WINEPREFIX=$first "$WINE" "$test_exe" --gtest_filter=GeneralPageTest.ExchangeRoundTripExportHere </dev/null
[ -s "$tmp/exchange.txt" ] || { echo "no exchange file was written" >&2; exit 1; }
WINEPREFIX=$second wineserver -p
WINEPREFIX=$second "$WINE" "$test_exe" --gtest_filter=GeneralPageTest.ExchangeRoundTripImportHere </dev/null
