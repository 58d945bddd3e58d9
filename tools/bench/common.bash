# Sourced by tools/bench.sh and, if they like, by the part scripts tools/bench/*.sh: CPU and
# memory of the Wine processes of the benchmark's prefix, read from Linux with nanosecond
# resolution. Needs SOMNIVAR_WINEPREFIX (bench.sh exports it).

# Linux pids of the Windows processes of our prefix whose command line names EXE
# (case-insensitive, e.g. "Somnivar.exe"); all of them when EXE is empty.
wine_pids() {
    local exe=${1:-} pid cmd
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$SOMNIVAR_WINEPREFIX" || continue
        case "$(readlink "/proc/$pid/exe" 2>/dev/null)" in */wine*) ;; *) continue ;; esac
        cmd=$({ tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null) || continue
        case "$cmd" in *wineserver*) continue ;; esac
        [ -n "$cmd" ] || continue
        if [ -z "$exe" ] || printf '%s' "$cmd" | grep -qiF -- "$exe"; then
            echo "$pid"
        fi
    done
}

# The wineserver of our prefix.
wineserver_pid() {
    local pid
    for pid in $(pgrep -x 'wineserver|wineserver64'); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$SOMNIVAR_WINEPREFIX" && echo "$pid"
    done
}

# Waits up to 20 s for a process of EXE; prints its pid.
wait_wine_pid() {
    local i pid
    for i in $(seq 200); do
        pid=$(wine_pids "$1" | head -n 1)
        [ -n "$pid" ] && { echo "$pid"; return 0; }
        sleep 0.1
    done
    return 1
}

# CPU time in nanoseconds used so far by every thread of the given pids (first field of
# /proc/PID/task/TID/schedstat: time on the CPU). Ended threads are not counted, so measure
# across a window in which no thread of the process ends.
cpu_ns() {
    local pid total=0 t
    for pid in "$@"; do
        for t in /proc/"$pid"/task/*/schedstat; do
            [ -r "$t" ] || continue
            read -r ns _ < "$t" 2>/dev/null && total=$((total + ns))
        done
    done
    echo "$total"
}

# Milliseconds with one decimal from a nanosecond difference.
ns_to_ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
