#!/usr/bin/env bash
# Figures of the interference detectors, as markdown table rows:
#  - CPU time of the two watcher threads during 3 s of a simulated sleep (Expand 1), beside the
#    whole program and the wineserver in the same 3 s with Expand 0, and per second of the call;
#  - delay from a confirmation window's creation to its answer (median of 20 suspends).
# CPU comes from /proc/PID/task/*/schedstat (nanoseconds) of the Wine processes.
#   BIN=build/win-x64/bin tools/bench/detectors.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$(cd "${BIN:-$root/build/win-x64/bin}" && pwd)
work=$(mktemp -d)
# The benchmark's copy of the program, beside the benchmark's power stand-in.
cp "$BIN/Somnivar.exe" "$BIN/Vantrel.dll" "$BIN/bench/"
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++ -std=c++17 -O2 -static -finput-charset=UTF-8 -fexec-charset=CP932 -I"$root" \
    "$root/tools/bench/detectors_driver.cpp" -o "$work/detectors_driver.exe"
# A prefix of its own: the bench writes settings and DLL overrides into it.
export SOMNIVAR_WINEPREFIX=${SOMNIVAR_WINEPREFIX:-$root/build/bench-wineprefix}

# The Linux process of a Wine program of our prefix whose command line holds $1.
pid_of() {
    local p
    for p in $(pgrep -f -- "$1"); do
        tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$SOMNIVAR_WINEPREFIX" || continue
        echo "$p"
        return
    done
}
# "tid nanoseconds" for every thread of a process.
threads_cpu() {
    local t
    for t in /proc/"$1"/task/*; do
        echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null || echo 0)"
    done
}
sum_cpu() { awk '{ s += $2 } END { printf "%d", s }' "$@"; }
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }

rows=()
cd "$work"
while IFS= read -r line; do
    line=${line%$'\r'}
    case "$line" in
    "@before "*)
        expand=${line#@before }
        program=$(pid_of Somnivar.exe)
        server=$(pid_of wineserver)
        threads_cpu "$program" >before ;;
    "@start")
        t0=$(date +%s%N)
        threads_cpu "$program" >start
        threads_cpu "$server" >server_start ;;
    "@end")
        t1=$(date +%s%N)
        threads_cpu "$program" >end
        threads_cpu "$server" >server_end
        # Watchers: the threads that started with the suspend, read at both marks.
        watchers=$(awk 'FNR == NR { old[$1] = 1; next } !($1 in old) { print $1 }' before start | tr '\n' ' ')
        watcher_ns=$(awk -v w=" $watchers" 'FNR == NR { s[$1] = $2; next }
            index(w, " " $1 " ") { d += $2 - s[$1] } END { printf "%d", d }' start end)
        program_ns=$(($(sum_cpu end) - $(sum_cpu start)))
        server_ns=$(($(sum_cpu server_end) - $(sum_cpu server_start)))
        wall=$(ms $((t1 - t0)))
        if [ "$expand" = 0 ]; then
            floor="whole program $(ms "$program_ns") ms, wineserver $(ms "$server_ns") ms with Expand 0"
        else
            count=$(wc -w <<<"$watchers")
            rows+=("| CPU of the $count watcher threads during a simulated sleep | $(ms "$watcher_ns") ms in $wall ms | $floor; with Expand 1 whole program $(ms "$program_ns") ms, wineserver $(ms "$server_ns") ms | schedstat of the Wine threads, power stand-in asleep without handling sent messages |")
            per_second=$(awk -v n="$watcher_ns" -v w="$((t1 - t0))" 'BEGIN { printf "%.1f", n / w * 1000 }')
            server_per_second=$(awk -v n="$server_ns" -v w="$((t1 - t0))" 'BEGIN { printf "%.1f", n / w * 1000 }')
            rows+=("| CPU of the watcher threads per second of power call | $per_second ms | wineserver $server_per_second ms per second | the figures of the row above divided by the wall time of the sleep |")
        fi ;;
    "|"*) rows+=("$line") ;;
    esac
done < <("$root/tools/wine-run" "$work/detectors_driver.exe" "Z:${BIN//\//\\}")
printf '%s\n' "${rows[@]}"
