#!/usr/bin/env bash
# Fuzzes every platform-free reader of outside data with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), one target after another, for SECONDS each (default 180), and
# prints what it found. Not part of tools/test.sh, which only replays the checked-in corpora.
#   bash tools/fuzz.sh [SECONDS] [TARGET...]      targets: tools/fuzz/*_fuzz.cpp without _fuzz.cpp
#
# Each target starts from its checked-in corpus, tests/fuzz/corpus/TARGET/, and works in
# build/fuzz/work/TARGET/; at the end the inputs that reached new code are merged back into the
# checked-in corpus (commit them). An input that crashes or fails a check is kept as
# build/fuzz/findings/TARGET/crash-*; once the fault is mended, copy it into the target's corpus
# so that the test command replays it from then on. A target that finds something is run again
# for what is left of its time, at most three times.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/setup-deps.sh
somnivar_packages=(clang-14 libclang-rt-14-dev)
somnivar_install_missing || exit 1

seconds=${1:-180}
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in tools/fuzz/*_fuzz.cpp; do
        name=${source##*/}
        targets+=("${name%_fuzz.cpp}")
    done
fi

# Largest input per target: enough for a few list lines over the editors' 1023 bytes, and for
# more titles than the title table holds.
max_len() {
    case "$1" in
    listfile) echo 8192 ;;
    titletable) echo 16384 ;;
    report) echo 8192 ;;
    statusline) echo 256 ;;
    *) echo 4096 ;;
    esac
}

build=build/fuzz
src=$build/src
mkdir -p "$src" "$build/obj"
cxx=$(command -v clang++-14 || command -v clang++)
flags=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all
       -Wall -Wextra -Wno-invalid-source-encoding -I"$src")

# clang knows no -fexec-charset=CP932: the sources go through iconv instead, so that the texts in
# the fuzzed code are the bytes the program holds. Only changed files are converted again.
echo "== build"
pure=()
for dir in app status settings watchlists info tools/fuzz; do
    for file in "$dir"/*.h "$dir"/*.cpp; do
        [ -e "$file" ] || continue
        case "$file" in *_win.cpp | *_win.h) continue ;; esac
        mkdir -p "$src/$dir"
        if [ ! -e "$src/$file" ] || [ "$file" -nt "$src/$file" ]; then
            iconv -f UTF-8 -t CP932 "$file" >"$src/$file" || exit 1
        fi
        case "$file" in
        tools/fuzz/*) ;;
        *.cpp) pure+=("$file") ;;
        esac
    done
done
objects=()
for file in "${pure[@]}" tools/fuzz/fuzzcheck.cpp; do
    object=$build/obj/${file//\//_}.o
    if [ ! -e "$object" ] || [ "$src/$file" -nt "$object" ] || [ "$0" -nt "$object" ]; then
        "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src/$file" -o "$object" || exit 1
    fi
    objects+=("$object")
done
for target in "${targets[@]}"; do
    [ -e "tools/fuzz/${target}_fuzz.cpp" ] || { echo "no target $target" >&2; exit 1; }
    # Headers change too: the link is cheap enough to do every time.
    "$cxx" "${flags[@]}" -fsanitize=fuzzer "$src/tools/fuzz/${target}_fuzz.cpp" "${objects[@]}" \
        -o "$build/$target" || exit 1
done

summary=()
for target in "${targets[@]}"; do
    corpus=tests/fuzz/corpus/$target
    work=$build/work/$target
    findings=$build/findings/$target
    rm -rf "$findings"
    mkdir -p "$corpus" "$work" "$findings"
    log=$build/$target.log
    : >"$log"
    echo "== $target: ${seconds} s"
    started=$(date +%s)
    runs=0
    while :; do
        left=$(( seconds - ($(date +%s) - started) ))
        [ "$left" -gt 0 ] && [ "$runs" -lt 4 ] || break
        runs=$((runs + 1))
        nice "$build/$target" -max_total_time="$left" -max_len="$(max_len "$target")" -timeout=10 \
            -rss_limit_mb=1024 -artifact_prefix="$findings/" -print_final_stats=1 "$work" "$corpus" \
            >>"$log" 2>&1 && break
    done
    # Inputs of the work corpus that reach code the checked-in corpus does not.
    before=$(ls "$corpus" | wc -l)
    "$build/$target" -merge=1 -max_len="$(max_len "$target")" "$corpus" "$work" >>"$log" 2>&1
    after=$(ls "$corpus" | wc -l)
    execs=$(grep -h 'stat::number_of_executed_units' "$log" | awk '{ s += $2 } END { print s + 0 }')
    found=$(ls "$findings" | wc -l)
    summary+=("$target: $(( $(date +%s) - started )) s, $execs inputs run, corpus $before -> $after, findings $found")
    if [ "$found" -gt 0 ]; then
        grep -hE 'ERROR: |expectation failed|SUMMARY: ' "$log" | sort | uniq -c | sed 's/^/    /'
        ls "$findings" | sed "s|^|    $findings/|"
    fi
done
echo
echo "== summary"
printf '%s\n' "${summary[@]}"
total=0
for target in "${targets[@]}"; do total=$(( total + $(ls "$build/findings/$target" | wc -l) )); done
[ "$total" -eq 0 ] && echo "nothing found" || { echo "$total findings (build/fuzz/findings/)"; exit 1; }
