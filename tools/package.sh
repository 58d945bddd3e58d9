#!/usr/bin/env bash
# Builds both released targets (the Release presets win-x86 and win-x64) and packs them into
# dist/Somnivar-<version>-x86.zip and dist/Somnivar-<version>-x64.zip, with their checksums in
# dist/SHA256SUMS, ready for a Windows user to download and unpack anywhere. Installs what is
# missing first; the builds are incremental, and the same commit always gives byte-identical
# zips.
#   bash tools/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/setup-deps.sh
somnivar_install_missing

for preset in win-x86 win-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Somnivar Vantrel
done
python3 tools/package.py
