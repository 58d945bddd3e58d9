#!/usr/bin/env bash
# The soak on its own (it is also a part of tools/bench.sh): builds the x64 target and runs
# tools/bench/soak.sh in a fresh Wine prefix (build/wineprefix-soak) on a private Xvfb display.
# Prints the figures and exits non-zero when the program leaked past an allowance or could not
# be driven. Takes SOAK_MINUTES (default 10) and about a minute more.
#   bash tools/soak.sh [MINUTES]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/setup-deps.sh
somnivar_install_missing || exit 1
cmake --preset win-x64 >/dev/null && cmake --build --preset win-x64 >/dev/null || exit 1
export SOAK_MINUTES=${1:-${SOAK_MINUTES:-10}}
export SOMNIVAR_WINEPREFIX=$root/build/wineprefix-soak
export BIN=$root/build/win-x64/bin
rm -rf "$SOMNIVAR_WINEPREFIX"
mkdir -p build/soak
unset DISPLAY  # tools/wine-run starts a display of its own, and ends it with everything on it
SOMNIVAR_NO_WM=1 bash tools/bench/soak.sh 2>build/soak/soak.log | tee build/soak/rows.md
status=${PIPESTATUS[0]}
grep -E '^soak' build/soak/soak.log
echo "samples and driver output: build/soak/soak.log"
exit "$status"
