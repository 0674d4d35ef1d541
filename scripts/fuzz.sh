#!/usr/bin/env bash
# Builds the fuzz programs (tests/fuzz/fuzz_*.cpp) with clang and the sanitizers into build-fuzz/ and
# runs each in turn from its seed corpus, with home and temporary folders of its own.
#
#   scripts/fuzz.sh                  every program for 10 s
#   scripts/fuzz.sh -t 60 rtf        one program for 60 s ("rtf" or "fuzz_rtf")
#   scripts/fuzz.sh -r 1000000       every program until a million executions
#   scripts/fuzz.sh -t 6 -r 50000    every program until 50,000 executions, 6 s at most (CI)
#
# Prints executions and executions per second of each. Exits non-zero when a program finds a fault
# or breaks a property; the input that did it is kept under build-fuzz/findings/ and the log is shown.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=
runs=0
while getopts "t:r:" opt; do
    case $opt in
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) echo "usage: $0 [-t seconds] [-r runs] [program...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
# Without a limit of either kind, 10 s; a number of runs alone has no time limit.
[[ -z $seconds ]] && { ((runs > 0)) && seconds=0 || seconds=10; }

# Qt, the rest of the build, and clang with its fuzzer and sanitizer runtimes.
scripts/deps.sh

if (($# == 0)); then
    targets=()
    for f in tests/fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$f" .cpp)")
    done
else
    targets=("${@/#/fuzz_}")
    targets=("${targets[@]/#fuzz_fuzz_/fuzz_}")
fi

started=$(date +%s)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTOBRIK_FUZZ=ON \
    >/dev/null
nice cmake --build build-fuzz -j2 --target "${targets[@]}"
built=$(date +%s)

# Nothing of the user's is touched: every folder Qt might use lies in a private one, in memory when possible.
base=/dev/shm
[[ -d $base && -w $base ]] || base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$base/tobrik-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache
export XDG_RUNTIME_DIR=$scratch/runtime TMPDIR=$scratch/tmp QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$TMPDIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
findings=$PWD/build-fuzz/findings
mkdir -p "$findings"

# ASan records the call stack of every allocation, and its fast unwinder walks the frame pointers, which
# Qt's code does not keep: past the caller of malloc it reads stale stack words, so nearly every
# allocation made inside Qt records a stack never seen before, and that store is never freed. Millions
# of runs then fill the memory. Two frames (malloc and its caller) are exact; a finding replayed without
# this script shows the whole stacks. Options given by the caller come later and win.
export ASAN_OPTIONS=malloc_context_size=2${ASAN_OPTIONS:+:$ASAN_OPTIONS}

failed=()
printf '%-18s %12s %10s %8s %8s  %s\n' program executions "exec/s" seconds "peak MB" result
for t in "${targets[@]}"; do
    name=${t#fuzz_}
    options=(-timeout=10 -print_final_stats=1 -artifact_prefix="$findings/$name-")
    asan=
    ((runs > 0)) && options+=(-runs="$runs")
    ((seconds > 0)) && options+=(-max_total_time="$seconds")
    case $name in
    # Datagrams up to the receiver's limit and a little beyond it.
    datagram) options+=(-max_len=8300) ;;
    # Qt keeps a parsed copy of every settings file it has read, so each input looks like a leak.
    # A @Variant value makes Qt reserve room for as many list entries as it claims, up to 128 GB; the
    # program's allocator refuses what the machine cannot give and Qt reads on, but ASan aborts, and a
    # reservation it does grant costs an eighth of its size in shadow memory. So beyond 1 GB, refuse.
    requests | settingsini)
        options+=(-detect_leaks=0)
        asan=allocator_may_return_null=1:max_allocation_size_mb=1024
        ;;
    esac
    mkdir -p "$scratch/corpus/$name"
    log=$scratch/$name.log
    t0=$(date +%s)
    result=ok
    ASAN_OPTIONS=$asan${asan:+:}$ASAN_OPTIONS nice "build-fuzz/$t" "${options[@]}" "$scratch/corpus/$name" \
        "tests/fuzz/corpus/$t" >"$log" 2>&1 || result=FOUND
    t1=$(date +%s)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    # Peak memory of the run: the first figure to look at when a long run ran out of it.
    peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
    printf '%-18s %12s %10s %8s %8s  %s\n' "$name" "${execs:-?}" "${speed:-?}" $((t1 - t0)) "${peak:-?}" "$result"
    if [[ $result != ok ]]; then
        failed+=("$name")
        cp "$log" "$findings/$name.log"
        grep -E -A25 'property failed|ERROR: |runtime error' "$log" | head -60 >&2 || tail -40 "$log" >&2
        echo "Input and log in $findings/ (replay: build-fuzz/$t $findings/$name-crash-...)" >&2
    fi
done
echo "Build $((built - started)) s, runs $(($(date +%s) - built)) s."
if ((${#failed[@]} > 0)); then
    echo "Findings in: ${failed[*]}" >&2
    exit 1
fi
