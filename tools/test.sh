#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (ASan + UBSan), the import and
# manifest audit of both released builds, and the Windows-side tests of the x64 build under Wine
# on a virtual display, in a WoW64 prefix made fresh for this run; they also run the released
# x86 program as the NT family and as Windows 98. Installs what is missing first.
# Exits non-zero when anything fails. Safe to run again; the builds are incremental.
#   bash tools/test.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/setup-deps.sh
somnivar_install_missing || exit 1

started=$(date +%s)
logs=build/test-logs
mkdir -p "$logs"
failures=()

step() {  # step NAME COMMAND...: runs it, output to the terminal and to a log
    local name=$1
    shift
    echo "== $name"
    if ! "$@" 2>&1 | tee "$logs/$name.log"; then
        failures+=("$name")
        return 1
    fi
}

configure_and_build() {
    local fresh=()
    # A build folder configured for the posix thread model keeps its compiler otherwise.
    grep -qs -- "-posix" "build/$1/CMakeCache.txt" && fresh=(--fresh)
    cmake --preset "$1" "${fresh[@]}" >/dev/null && cmake --build --preset "$1"
}

# One fresh prefix per run, on a private virtual display (no window manager, nothing of the
# user's desktop in the way). Made while the builds run: a WoW64 prefix takes half a minute.
export SOMNIVAR_WINEPREFIX="$root/build/wineprefix-test"
rm -rf "$SOMNIVAR_WINEPREFIX"
unset DISPLAY
tools/wine-run --prefix-only >"$logs/prefix.log" 2>&1 &
prefix_maker=$!

# Native unit tests.
if step native-build configure_and_build native; then
    step native-tests ctest --preset native --output-on-failure
fi

# Windows builds: both released; the x64 build's tests also drive the x86 program.
step win-x86-build configure_and_build win-x86
if step win-x64-build configure_and_build win-x64; then
    step audit python3 tools/package.py --check
    wait "$prefix_maker" || { echo "prefix creation failed: $logs/prefix.log"; failures+=(prefix); }
    export SOMNIVAR_X86_DIR="Z:${root//\//\\}\\build\\win-x86\\bin"
    step win-tests ctest --preset win-x64 --output-on-failure -V
    # The zips a Windows user downloads (tools/package.sh refuses to pack unfit files); the x64
    # one unpacked into a fresh folder and started from there.
    run_unpacked_package() {
        local folder=$root/build/package-run out
        rm -rf "$folder" && python3 -m zipfile -e dist/Somnivar-8.1-x64.zip "$folder" || return 1
        out=$(SOMNIVAR_PACKAGE_DIR="Z:${folder//\//\\}" tools/wine-run build/win-x64/bin/win_tests.exe \
            --gtest_filter='Package.*')
        echo "$out"
        [[ $out == *"[  PASSED  ] 1 test."* ]]
    }
    step package bash tools/package.sh && step package-run run_unpacked_package
fi

echo
echo "== summary"
for name in native-tests win-tests; do
    [ -f "$logs/$name.log" ] || continue
    grep -hE "tests passed|tests failed|Total Test time|\[  (PASSED|FAILED)  \]|\[==========\] .* ran" \
        "$logs/$name.log" | sed "s/^/$name: /"
done
echo "wall time: $(( $(date +%s) - started )) s"
if [ ${#failures[@]} -ne 0 ]; then
    echo "FAILED: ${failures[*]} (logs in $logs/)"
    exit 1
fi
echo "all passed"
