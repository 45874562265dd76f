#!/usr/bin/env bash
# Runs the broadcast discovery cases of test_detect.exe inside a private network namespace with
# only the loopback interface up, so that the subnet broadcast (127.0.0.255 there) never leaves
# the namespace. Wine's sockets live in the wineserver, so the namespace gets a wineserver of its
# own: a light clone of the project's prefix in a temporary directory.
#   detect_netns.sh TEST_EXE SOURCE_DIR [GTEST_FILTER]   (filter: DetectBroadcast.* unless given)
# Exits 77 (skipped) when network namespaces are not permitted here.
set -euo pipefail

# Without the privilege for a network namespace, a user namespace may grant it.
if [ "${1:-}" != --inside-namespace ]; then
  for flags in "--net" "--net --map-root-user"; do
    if unshare $flags true 2>/dev/null; then
      exec unshare $flags bash "$0" --inside-namespace "$@"
    fi
  done
  echo "SKIPPED: unshare --net is not permitted here; broadcast discovery not tested"
  exit 77
fi
test_exe=$2
source_dir=$3
filter=${4:-DetectBroadcast.*}

ip link set lo up
source "$source_dir/scripts/winenv"
keep_prefix=${WINEPREFIX:-}
ferrowin_use "$(ferrowin_pe_arch "$test_exe")"
base_prefix=${keep_prefix:-$WINEPREFIX}
prefix=$(mktemp -d /tmp/ferrowin-netns-prefix.XXXXXX)
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
ferrowin_clone_prefix "$base_prefix" "$prefix"

export WINEPREFIX=$prefix FERROWIN_DETECT_NETNS=1
wineserver -p
"$WINE" "$test_exe" --gtest_filter="$filter" </dev/null
