#!/usr/bin/env bash
# Builds Somnivar and starts it under Wine, in the background, on a virtual display when
# DISPLAY is unset. Installs what is missing first. Safe to run again: a running Somnivar is
# left alone and reported.
#   bash tools/run.sh [--dir DIR] [-- OPTIONS FOR SOMNIVAR]   start (working directory: run/)
#   bash tools/run.sh --stop                                   end it (as the tray menu's exit does)
# The program keeps its settings in the registry of its own Wine prefix, build/wineprefix-run,
# and reads FileList.txt, TitleList.txt and its help text (Readme.txt, or ReadmeEn.txt on a
# system code page other than 932) from its working directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

state=build/run-state
export SOMNIVAR_WINEPREFIX="$root/build/wineprefix-run"
export WINEPREFIX=$SOMNIVAR_WINEPREFIX WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

running() { [ -f "$state/wine.pid" ] && kill -0 "$(cat "$state/wine.pid")" 2>/dev/null; }

stop() {
    if ! running; then
        echo "Somnivar is not running."
    else
        [ -f "$state/display" ] && export DISPLAY=$(cat "$state/display")
        # Without /f taskkill closes the program's windows, so it shuts down in order.
        env LC_ALL=ja_JP.UTF-8 "$wine" taskkill /im Somnivar.exe >/dev/null 2>&1 || true
        for _ in $(seq 50); do running || break; sleep 0.2; done
        if running; then
            echo "Somnivar did not end in 10 s; ending it."
            "$wineserver" -k 2>/dev/null || true
        fi
        echo "Somnivar has ended."
    fi
    if [ -f "$state/xvfb.pid" ]; then
        "$wineserver" -k 2>/dev/null || true
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    fi
    rm -f "$state/wine.pid" "$state/xvfb.pid" "$state/display"
}

workdir="$root/run"
args=()
while [ $# -gt 0 ]; do
    case $1 in
        --stop) stop; exit 0 ;;
        --dir) workdir=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
        --) shift; args=("$@"); break ;;
        -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1 (see --help)" >&2; exit 2 ;;
    esac
done

if running; then
    echo "Somnivar is already running (display $(cat "$state/display" 2>/dev/null || echo '?'))."
    echo "Stop it with: bash tools/run.sh --stop"
    exit 0
fi

source tools/setup-deps.sh
somnivar_install_missing

echo "== building"
for preset in win-x86 win-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Somnivar
done

mkdir -p "$state" "$workdir"
rm -f "$state/xvfb.pid"
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 70 89); do
        [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
        echo $! > "$state/xvfb.pid"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
            export DISPLAY=":$n"
            break
        fi
        rm -f "$state/xvfb.pid"
    done
    [ -n "${DISPLAY:-}" ] || { echo "could not start Xvfb" >&2; exit 1; }
fi
echo "$DISPLAY" > "$state/display"

# The help text the program shows; a newer one replaces an older copy.
cp -u info/Readme.txt "$workdir/Readme.txt"
cp -u info/ReadmeEn.txt "$workdir/ReadmeEn.txt"

# Make the prefix (once) through wine-run, then start the program detached from this shell.
no_wm=0
[ -f "$state/xvfb.pid" ] && no_wm=1
SOMNIVAR_NO_WM=$no_wm tools/wine-run cmd /c exit >/dev/null 2>&1 || true
exe=$root/build/win-x64/bin/Somnivar.exe
(
    cd "$workdir"
    exec setsid env LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES=mscoree,mshtml= "$wine" "$exe" "${args[@]}" \
        >"$root/$state/somnivar.log" 2>&1 < /dev/null
) &
echo $! > "$state/wine.pid"
sleep 2
if ! running; then
    echo "Somnivar ended at once; see $state/somnivar.log" >&2
    exit 1
fi
echo "Somnivar is running (display $DISPLAY, working directory $workdir)."
echo "Stop it with: bash tools/run.sh --stop   (or the tray menu's exit item)"
