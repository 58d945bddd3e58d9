#!/usr/bin/env bash
# The soak: Somnivar under Wine for SOAK_MINUTES (default 10) of ticks posted as fast as it takes
# them, each pair of timers 2 and 8 one second of its life, with idle expiries, resumes, suspend
# queries, taskbar re-creations and rewritten list files in between, and every window opened and
# closed after every thousand ticks, a hundred times at the least (tools/bench/soak_driver.cpp).
# Prints the figures as markdown rows and exits 1 when the program could not be driven or when
# anything it holds grew past its allowance between the baseline (after the first minute) and
# the end (all windows closed).
# A part of tools/bench.sh; tools/soak.sh runs it alone.
#   BIN=<x64 bin dir> tools/bench/soak.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$(cd "${BIN:-$root/build/win-x64/bin}" && pwd)
minutes=${SOAK_MINUTES:-10}
# Allowances: a handle or window object or two that Wine or the shell keeps for a while, and
# heap that a list loaded at another size leaves fragmented.
allow_handles=8 allow_user=8 allow_gdi=8 allow_windows=0 allow_private_kib=1024

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++ -O2 -std=c++17 -static -o "$work/soak_driver.exe" "$root/tools/bench/soak_driver.cpp" \
    -luser32 -ladvapi32 -lpsapi
# The copy beside the benchmark's power stand-in: an idle expiry "sleeps" and returns at once.
cp "$BIN/Somnivar.exe" "$BIN/Vantrel.dll" "$BIN/bench/"
mkdir -p "$work/run"
cp "$root/info/Readme.txt" "$work/run/"
cd "$work/run"
program="Z:$BIN/bench/Somnivar.exe"
status=0
"$root/tools/wine-run" "$work/soak_driver.exe" "${program//\//\\}" "$minutes" | tr -d '\r' >"$work/out" || status=$?
cat "$work/out" >&2

field() { awk -v key="$1" -v n="$2" '$1 == key { print $n }' "$work/out" | tail -n 1; }
ticks=$(field ticks 2)
cycles=$(field cycles 2)
failed=$(field cycles 4)
seconds=$(field final 2)
samples=$(grep -c '^sample' "$work/out" || true)
[ -n "$ticks" ] && [ -n "$seconds" ] || { echo "soak: the driver reported nothing" >&2; exit 1; }
days=$(awk -v t="$ticks" 'BEGIN { printf "%.1f", t / 86400 }')
echo "| soak: ticks handled | $ticks in ${seconds} s | $days days of one-second ticks | pairs of WM_TIMER 2 and 8 posted in batches of 1000, each batch handled before a round of windows; every 300th an idle expiry (WM_TIMER 3, stand-in SetSuspendState), every 500th two resume notifications and then WM_TIMER 9, every 700th TaskbarCreated, every 1000th a sent suspend query, every 2000th command 267; list files rewritten every 250 ticks, a watched window shown and hidden every 400 |"
echo "| soak: windows opened and closed | $cycles rounds, $failed failed | | one round after every 1000 ticks: settings dialog, both list editors (from the dialog), about box, readme viewer; every 10th round the dialog closed with OK |"
exceeded=()
row() {  # row NAME COLUMN ALLOWANCE UNIT
    local base end peak growth
    base=$(field baseline "$2") end=$(field final "$2")
    peak=$(awk -v n="$2" '$1 == "sample" && $n > m { m = $n } END { print m + 0 }' "$work/out")
    growth=$((end - base))
    echo "| soak: $1 | $base at the baseline, $end at the end (peak $peak)$4 | growth $growth, allowance $3 | $samples samples, every 15 s; baseline after a minute of ticks and rounds; end after the last round, all windows closed |"
    [ "$growth" -le "$3" ] || exceeded+=("$1 grew by $growth")
}
row "handles (GetProcessHandleCount, else the system handle table)" 3 $allow_handles ""
if [ "$(field baseline 4)" = 0 ] && [ "$(field final 4)" = 0 ]; then
    echo "| soak: USER and GDI objects (GetGuiResources) | not counted: Wine's GetGuiResources answers 0 | | the program's windows below stand in for its USER objects; its GDI objects live in its private bytes under Wine |"
else
    row "USER objects (GetGuiResources)" 4 $allow_user ""
    row "GDI objects (GetGuiResources)" 5 $allow_gdi ""
fi
row "windows, top-level and child" 6 $allow_windows ""
row "private bytes" 7 $allow_private_kib " KiB"
if [ ${#exceeded[@]} -ne 0 ]; then
    echo "soak: past the allowance: ${exceeded[*]}" >&2
    exit 1
fi
[ "$failed" = 0 ] || { echo "soak: $failed window rounds failed" >&2; exit 1; }
exit "$status"
