#!/usr/bin/env bash
# Cost of the check, at each idle expiry, that the low-level input hooks are still alive. Builds the
# measurement program with the x64 cross compiler and runs it under Wine.
# BIN (the x64 bin folder) is not needed: the program stands alone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++ -O2 -std=c++17 -static -o "$work/hookcheck_cost.exe" "$here/hookcheck_cost.cpp" -luser32
"$here/../wine-run" "$work/hookcheck_cost.exe" | tr -d '\r'
