#!/usr/bin/env bash
# The benchmark command: builds what it measures, runs Somnivar under wine64 on a private Xvfb
# display in a Wine prefix of its own (build/wineprefix-bench, made fresh), side by side with
# floor programs, and writes docs/PERFORMANCE.md. Not part of tools/test.sh: figures are
# measured here, never asserted by tests. Takes about five minutes, and the soak part
# (tools/bench/soak.sh) SOAK_MINUTES more, ten by default.
#   bash tools/bench.sh
#
# Part scripts. Every other tools/bench/*.sh is run once, after the figures of this script,
# with the working directory at the repository root and this environment:
#   BIN                  the x64 bin directory (Somnivar.exe, Vantrel.dll, the test and bench
#                        programs and stand-in DLLs; everything of the win-x64 build is built)
#   DISPLAY              the benchmark's Xvfb display (no window manager; SOMNIVAR_NO_WM=1)
#   SOMNIVAR_WINEPREFIX  the benchmark's prefix: tools/wine-run PROGRAM.exe runs in it
#   BENCH_WORK           an empty scratch directory for this part alone
# A part prints its figures to stdout as markdown table rows, one per figure:
#   | figure | value | floor/compare | how measured |
# Lines that do not start with "|" are ignored (stdout is kept in build/bench-logs/PART.out,
# stderr in PART.log). A part that exits non-zero is reported as failed, with whatever rows it
# printed. When a part ends, every Wine process of the prefix is ended (wineserver -k), so a part
# need not clean up the Wine programs it started; other background jobs it must end itself. A
# part may source tools/bench/common.bash for CPU (nanosecond schedstat) and pid helpers.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/setup-deps.sh
somnivar_install_missing || exit 1
source tools/bench/common.bash

echo "== build"
cmake --preset win-x64 >/dev/null && cmake --build --preset win-x64 || exit 1
BIN=$root/build/win-x64/bin
export BIN
logs=$root/build/bench-logs
rm -rf "$logs" && mkdir -p "$logs"
work=$root/build/bench-work
rm -rf "$work" && mkdir -p "$work"

export SOMNIVAR_WINEPREFIX=$root/build/wineprefix-bench
export SOMNIVAR_NO_WM=1
export WINEPREFIX=$SOMNIVAR_WINEPREFIX
rm -rf "$SOMNIVAR_WINEPREFIX"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# Our own display for the whole run.
xvfb_pid=""
for n in $(seq 170 240); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        break
    fi
    xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "bench: could not start Xvfb" >&2; exit 1; }

background=()
end_wine() {  # ends every Wine process of the prefix and our background jobs
    local pid
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null; done
    "$wineserver" -k 2>/dev/null
    for pid in "${background[@]}"; do wait "$pid" 2>/dev/null; done
    background=()
    sleep 1
}
cleanup() {
    end_wine
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

run() { "$root/tools/wine-run" "$@"; }        # a Windows program, in the foreground
probe_raw() { run "$BIN/bench_probe.exe" "$@"; }
probe() { probe_raw "$@" | tr -d '\r'; }   # Wine's console writes CR LF
start() {  # start NAME ARGS...: a Windows program in the background
    local name=$1
    shift
    run "$BIN/$name" "$@" >>"$logs/$name.log" 2>&1 &
    background+=($!)
}

rows=()
row() { rows+=("| $1 | $2 | $3 | $4 |"); echo "| $1 | $2 | $3 | $4 |"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
per() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
per_minute() { awk -v a="$1" -v s="$2" 'BEGIN { printf "%.1f", a * 60 / s }'; }

# BENCH_ONLY=idle,scan,... runs only those phases (idle scan start-up expiry hooks memory parts)
# and BENCH_SIZES="1000" only those list sizes (for working on this script or the program).
want() { [ -z "${BENCH_ONLY:-}" ] || [[ ",$BENCH_ONLY," == *",$1,"* ]]; }
# BENCH_QUICK=1 shortens every measured window to a few seconds (for working on this script).
long=60 short=30
[ "${BENCH_QUICK:-0}" = 1 ] && long=6 short=4

# Somnivar and a floor program side by side for SECONDS in the current directory; sets
# som_ms, floor_ms, server_ms (wineserver) and tray_ms (explorer, the notification area).
side_by_side() {
    local seconds=$1 floor_args=$2 som floor server tray s0 f0 w0 e0
    start Somnivar.exe
    start timer_floor.exe $floor_args
    som=$(wait_wine_pid Somnivar.exe) && floor=$(wait_wine_pid timer_floor.exe) || return 1
    sleep 5  # past the start-up work of both
    server=$(wineserver_pid)
    tray=$(wine_pids explorer.exe | tr '\n' ' ')
    s0=$(cpu_ns $som); f0=$(cpu_ns $floor); w0=$(cpu_ns $server); e0=$(cpu_ns $tray)
    sleep "$seconds"
    som_ms=$(ns_to_ms $(( $(cpu_ns $som) - s0 )))
    floor_ms=$(ns_to_ms $(( $(cpu_ns $floor) - f0 )))
    server_ms=$(ns_to_ms $(( $(cpu_ns $server) - w0 )))
    tray_ms=$(ns_to_ms $(( $(cpu_ns $tray) - e0 )))
    probe close >/dev/null
    end_wine
}

machine="$(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB"
machine+=", $(uname -sr), Debian $(cat /etc/debian_version 2>/dev/null)"
wine_version=$(/usr/lib/wine/wine64 --version 2>/dev/null || wine --version)
started=$(date -u '+%Y-%m-%d %H:%M UTC')

if want idle; then
echo "== idle"
mkdir -p "$work/idle" && cd "$work/idle"
probe settings Time=60
side_by_side $long "" || echo "idle: a program did not start" >&2
row "Idle CPU per minute (function on, no list files)" "$(per_minute "$som_ms" $long) ms" \
    "floor $(per_minute "$floor_ms" $long) ms, ratio $(ratio "$som_ms" "$floor_ms")" \
    "side by side for $long s; schedstat of every thread; floor: hidden window, two 1 s timers"
row "Wineserver and tray CPU in that minute" "wineserver $server_ms ms, explorer $tray_ms ms" "" \
    "the same $long s; both serve the two programs"

fi

if want scan; then
echo "== scan"
# Entries that name nothing running: literal names over many first letters, and every tenth
# with a star up front, which must be tried against every name and title.
write_lists() {
    awk -v n="$1" 'BEGIN { split("alpha bravo cobalt delta ember falcon garnet harbor indigo juniper krypton lumen", w, " ");
        for (i = 0; i < n; i++) printf (i % 10 == 9 ? "*%s%d*.exe\r\n" : "%s%d.exe\r\n"), w[i % 12 + 1], i }' > FileList.txt
    awk -v n="$1" 'BEGIN { split("Draft Editor Viewer Console Mail Player Browser Settings Terminal Notes", w, " ");
        for (i = 0; i < n; i++) printf (i % 10 == 9 ? "*%s %d*\r\n" : "%s %d - *\r\n"), w[i % 10 + 1], i }' > TitleList.txt
}
mkdir -p "$work/scan" && cd "$work/scan"
probe settings Time=60 ApplicationCheck=1 TitleCheck=1 StatusDisplay=1
for size in ${BENCH_SIZES:-10 100 1000 10000}; do
    start bench_load.exe -p 40 -n 500 "Document "
    for _ in $(seq 300); do grep -q ready "$logs/bench_load.exe.log" 2>/dev/null && break; sleep 0.2; done
    : > "$logs/bench_load.exe.log"
    write_lists "$size"
    processes=$(( $(wine_pids | wc -l) + 2 ))
    seconds=$short
    [ "$size" = 1000 ] && seconds=$long
    side_by_side "$seconds" "-scan" || echo "scan $size: a program did not start" >&2
    row "Scan CPU per tick, $size + $size entries, none found" "$(per "$som_ms" "$seconds") ms" \
        "floor $(per "$floor_ms" "$seconds") ms, ratio $(ratio "$som_ms" "$floor_ms")" \
        "$seconds s side by side with $processes processes and 500 titled windows; per second (timers 2 and 8); floor: snapshot walk, EnumWindows reading every title, two file-time checks; wineserver $server_ms ms"
done

fi

if want start-up; then
echo "== start-up"
mkdir -p "$work/startup" && cd "$work/startup"
probe settings Time=60
summary() { awk -v key="$1" '$1 == key { print $2 " ms (" $3 " to " $4 ")" }'; }
som=$(probe startup 10 "$BIN/Somnivar.exe")
end_wine
floor=$(probe startup 10 "$BIN/timer_floor.exe" -tray)
end_wine
row "Start to first NIM_ADD, median of 10" "$(summary startup_ms <<< "$som")" "floor $(summary startup_ms <<< "$floor")" \
    "the probe is the notification area; CreateProcess to the NIM_ADD's arrival (QueryPerformanceCounter); floor: a window program that adds an icon"
row "Start to main window, median of 10" "$(summary window_ms <<< "$som")" "floor $(summary window_ms <<< "$floor")" \
    "the same runs; CreateProcess to the first top-level window of the process, polled about every millisecond"

fi

if want expiry; then
echo "== expiry"
# A copy of the program, with the benchmark's powrprof.dll (which notes the moment of the call)
# in the prefix's system folder.
cp "$BIN/Somnivar.exe" "$BIN/Vantrel.dll" "$BIN/bench/"
probe standin on
run "$BIN/bench/Somnivar.exe" >>"$logs/Somnivar.exe.log" 2>&1 &
background+=($!)
wait_wine_pid Somnivar.exe >/dev/null && sleep 3
expiry=$(probe expiry 20 | awk '/^expiry_ms/ { print $2 " ms (" $3 " to " $4 ")" }')
probe close >/dev/null
end_wine
probe standin off
row "Expiry tick to power call, median of 20" "$expiry" "" \
    "WM_TIMER 3 posted to the main window to the entry of SetSuspendState, in a stand-in powrprof.dll that returns at once (QueryPerformanceCounter)"

fi

if want hooks; then
echo "== hooks"
events=3000
burst() {  # appends to CPU_LIST (every Wine process and wineserver) and WALL_LIST, in ms
    local pids before wall
    coproc BURST { probe_raw hooks "$events" 2>>"$logs/hooks.log"; }
    read -r -u "${BURST[0]}" _
    pids="$(wine_pids | tr '\n' ' ') $(wineserver_pid)"
    before=$(cpu_ns $pids)
    echo go >&"${BURST[1]}"
    read -r -u "${BURST[0]}" _ wall _
    read -r -u "${BURST[0]}" _
    CPU_LIST+=" $(ns_to_ms $(( $(cpu_ns $pids) - before )))"
    WALL_LIST+=" $wall"
    wait "$BURST_PID" 2>/dev/null
}
median() { tr ' ' '\n' <<< "$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# All in one Wine session, so that its start-up work falls in neither burst.
start timer_floor.exe
wait_wine_pid timer_floor.exe >/dev/null && sleep 3
CPU_LIST="" WALL_LIST=""
burst
start Somnivar.exe
wait_wine_pid Somnivar.exe >/dev/null && sleep 3
without_cpu=$CPU_LIST without_wall=$WALL_LIST
CPU_LIST="" WALL_LIST=""
burst; burst; burst
with_cpu=$(median "$CPU_LIST") with_wall=$(median "$WALL_LIST")
probe close >/dev/null
sleep 2
CPU_LIST=$without_cpu WALL_LIST=$without_wall
burst; burst
without_cpu=$(median "$CPU_LIST") without_wall=$(median "$WALL_LIST")
end_wine
row "Hook cost per input event" \
    "$(awk -v a="$with_cpu" -v b="$without_cpu" -v c="$with_wall" -v d="$without_wall" -v n="$events" \
        'BEGIN { printf "%.1f us CPU, %.1f us wall", (a - b) * 1000 / n, (c - d) * 1000 / n }')" \
    "burst of $events without hooks: $without_cpu ms CPU, $without_wall ms wall; with: $with_cpu ms CPU, $with_wall ms wall" \
    "SendInput mouse moves, one per call; CPU of every Wine process and wineserver during the burst; medians of 3 bursts with Somnivar's hooks installed and 3 without (before it starts and after it ends), in one Wine session"
fi

if want memory; then
echo "== memory"
mkdir -p "$work/memory" && cd "$work/memory"
probe settings Time=60 ApplicationCheck=1 StatusDisplay=1
start Somnivar.exe
wait_wine_pid Somnivar.exe >/dev/null && sleep 3
read -r _ ws0 priv0 < <(probe memory)
probe ticks 3600 > "$logs/ticks.log"
ticks=$(awk '/^ticks_ms/ { print $2 }' "$logs/ticks.log")
read -r _ ws1 priv1 < <(probe memory)
probe close >/dev/null
end_wine
row "Working set and private bytes after start" "$ws0 KiB, $priv0 KiB" "" \
    "GetProcessMemoryInfo 3 s after start: WorkingSetSize, and PagefileUsage as private bytes (Wine leaves PrivateUsage 0; it reads both from Linux, VmRSS and RssAnon)"
row "The same after an hour's worth of ticks" "$ws1 KiB, $priv1 KiB" "growth $((ws1 - ws0)) KiB, $((priv1 - priv0)) KiB" \
    "3600 posted WM_TIMER 2 and 3600 WM_TIMER 8 (handled in ${ticks} ms), ApplicationCheck and StatusDisplay on, a status balloon every 100 ticks"

fi

cd "$root"
parts=()
if want parts; then
for part in tools/bench/*.sh; do
    [ -f "$part" ] || continue
    name=$(basename "$part" .sh)
    echo "== part $name"
    export BENCH_WORK=$work/part-$name
    mkdir -p "$BENCH_WORK"
    # To a file, not a pipe: a Wine program the part left running must not hold us up.
    bash "$part" >"$logs/$name.out" 2>"$logs/$name.log"
    status=$?
    while IFS= read -r line; do
        line=${line%$'\r'}
        case "$line" in "|"*) rows+=("$line"); echo "$line" ;; esac
    done < "$logs/$name.out"
    [ $status -eq 0 ] || { row "Part $name" "failed (exit $status)" "" "see build/bench-logs/$name.log"; }
    parts+=("$name")
    cd "$root"
    end_wine
done
fi

{
    echo "# Performance"
    echo
    echo "Measured by \`bash tools/bench.sh\` on $started."
    echo
    echo "- Machine: $machine"
    echo "- Wine: $wine_version, wine64 on Xvfb, a fresh prefix, no window manager"
    echo "- Build: win-x64 (\`Somnivar.exe\` as released, x64)"
    echo "- Parts: ${parts[*]:-none}"
    echo
    echo "CPU is the sum of the first field of \`/proc/PID/task/*/schedstat\` (nanoseconds on the"
    echo "CPU) over every thread of the Wine process, read from Linux; never the 10 ms clock of"
    echo "GetThreadTimes. Each program is measured side by side with a floor program in the same"
    echo "run, so both see the same machine load; wineserver and the notification area (explorer)"
    echo "do part of the work of every cross-process call and are reported too, but serve both."
    echo "Times are QueryPerformanceCounter differences taken inside Wine."
    echo
    echo "| Figure | Value | Floor / compare | How measured |"
    echo "|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
} > docs/PERFORMANCE.md
echo "== wrote docs/PERFORMANCE.md"
