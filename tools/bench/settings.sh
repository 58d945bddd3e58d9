#!/usr/bin/env bash
# Figure of the settings dialog: time from command 259 until the dialog is visible and
# initialised, median of 10 openings. Prints one markdown table row.
#   BIN=<x64 bin dir> tools/bench/settings.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
BIN=${BIN:-$root/build/win-x64/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++ -O2 -std=c++17 -static -finput-charset=UTF-8 -o "$work/settings_open.exe" \
    "$root/tools/bench/settings_open.cpp" -luser32 -ladvapi32
program="Z:$(cd "$BIN" && pwd)/Somnivar.exe"
# The program reads its lists from the working directory: an empty one keeps the figure plain.
cd "$work"
"$root/tools/wine-run" "$work/settings_open.exe" "${program//\//\\}" 10
