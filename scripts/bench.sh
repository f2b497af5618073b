#!/usr/bin/env bash
# Builds what the benchmarks need (64-bit and 32-bit, Release) and runs them all inside a
# loopback-only network namespace with a private Xvfb; prints the results as the markdown table
# of the README's "Performance" section, with the machine they came from. Takes about three
# minutes once built. Not a test: a missed target fails nothing; a benchmark that breaks does.
#   BUILD_DIR=DIR       build root (default build); the builds go to DIR/bench-x86_64 and DIR/bench-i386
#   BENCH_BUILD_64=DIR  the 64-bit build folder instead; BENCH_BUILD_32=DIR likewise
# The table also goes to <64-bit build>/bench-results.md, what the programs said to <...>/bench-logs/.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/scripts/lib.sh"

if [ "${1:-}" != --inside ]; then
    bash "$repo/scripts/setup.sh" test
    build=${BUILD_DIR:-$repo/build}
    build64=$(realpath -m "${BENCH_BUILD_64:-$build/bench-x86_64}")
    build32=$(realpath -m "${BENCH_BUILD_32:-$build/bench-i386}")
    configure_and_build() {
        local dir=$1
        shift
        local -a targets=()
        while [ "$1" != -- ]; do targets+=(--target "$1"); shift; done
        shift
        mkdir -p "$dir"
        cmake -S "$repo" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" > "$dir/configure.log" 2>&1 ||
            { cat "$dir/configure.log"; return 1; }
        cmake --build "$dir" -j"$(nproc)" "${targets[@]}" > "$dir/build.log" 2>&1 ||
            { tail -n 50 "$dir/build.log"; return 1; }
    }
    echo "bench: building in $build64 and $build32" >&2
    configure_and_build "$build64" quillon quillon-monitor bench_floor bench_pacing bench_follow bench_meters bench_x_probe --
    configure_and_build "$build32" quillon quillon-monitor bench_floor -- \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/i386-linux-gnu.cmake"
    loopback_only bash "$0" --inside "$build64" "$build32"
    exit
fi

# --- Inside the namespace: only loopback exists, so nothing can leave the machine. -----------
require_loopback_only
build64=$2
build32=$3
logs=$build64/bench-logs
mkdir -p "$logs"
work=$(mktemp -d)
on_exit 'rm -rf "$work"'
start_xvfb "$logs/xvfb.log"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime LC_ALL=C.UTF-8

bench=$build64/bench
started=$(date +%s)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
rows=$work/rows
: > "$rows"
failed=()

# Runs one benchmark, its table rows to the table and the rest to its log.
run() {
    local name=$1
    shift
    echo "bench: $name" >&2
    if ! "$@" >> "$rows" 2> "$logs/$name.log"; then
        failed+=("$name")
        echo "bench: $name did not finish, see $logs/$name.log" >&2
    fi
}

on_x() { env -u QT_QPA_PLATFORM "$@"; }
offscreen() { env -u DISPLAY QT_QPA_PLATFORM=offscreen "$@"; }

# bench_x_probe LABEL OCTET RUNS IDLE-SECONDS EVENTS PROGRAM FLOOR [MONITOR]: 10 start-ups of each,
# then the idle windows and, for 64-bit, 100 clicks and 100 keys through the X server, and with the
# monitor the follow mode: 30 s with an idle console, then 10 s of 5,000 changes a second.
run x-64 on_x "$bench/bench_x_probe" 64-bit 210 10 10 100 "$build64/src/quillon" "$bench/bench_floor" \
    "$build64/src/monitor/quillon-monitor"
# A kernel without i386 support (no IA32 emulation) cannot start the 32-bit programs; qemu would
# measure the emulator, so the table says they were not measured.
if "$build32/src/monitor/quillon-monitor" --version > /dev/null 2>&1; then
    run x-32 on_x "$bench/bench_x_probe" 32-bit 211 10 0 0 "$build32/src/quillon" "$build32/bench/bench_floor"
else
    echo "bench: x-32 not run: this kernel cannot run i386 programs" >&2
    echo "| Start-up, peak memory and shared libraries, 32-bit | not measured: this kernel cannot run i386" \
        "programs | - | - | within 1.2 x | - |" >> "$rows"
fi
run pacing offscreen "$bench/bench_pacing" 3
run follow offscreen "$bench/bench_follow" 1000
# The meters with Qt's accessibility bridge up, as under a screen reader: their own private X server.
run meters bash "$repo/scripts/with-accessibility.sh" "$bench/bench_meters" 10

# Sizes of the binaries as a package would ship them: stripped of symbols and debug sections.
stripped_kib() {
    strip --strip-all -o "$work/stripped" "$1"
    echo $(( ($(stat -c %s "$work/stripped") + 1023) / 1024 ))
}
for arch in 64 32; do
    dir=$build64
    [ "$arch" = 32 ] && dir=$build32
    quillon=$(stripped_kib "$dir/src/quillon")
    floor=$(stripped_kib "$dir/bench/bench_floor")
    monitor=$(stripped_kib "$dir/src/monitor/quillon-monitor")
    ratio=$(awk -v a="$quillon" -v b="$floor" 'BEGIN { printf "%.1f x", a / b }')
    echo "| Stripped size of quillon, $arch-bit | $quillon KiB | $floor KiB (floor) | $ratio | - | - |" >> "$rows"
    echo "| Stripped size of quillon-monitor, $arch-bit | $monitor KiB | - | - | - | - |" >> "$rows"
done

cpu=$(grep -m 1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
qt=$(dpkg-query -W -f='${Version}' "libqt6widgets6:$(dpkg --print-architecture)" 2> /dev/null || echo unknown)
table=$build64/bench-results.md
{
    echo "Measured $(date -u +%Y-%m-%d) with \`./scripts/bench.sh\` on $(nproc) x $cpu, Linux $(uname -r)," \
        "$(. /etc/os-release && echo "$PRETTY_NAME"), Qt $qt, Release builds, Xvfb 1024x768x24 without a window" \
        "manager; load average ${load_before} before and $(cut -d' ' -f1-3 /proc/loadavg) after."
    echo
    echo "| What | Quillon | Reference | Quillon against it | Target | Met |"
    echo "|---|---|---|---|---|---|"
    cat "$rows"
} | tee "$table"
echo "bench: done in $(( $(date +%s) - started )) s; table in $table" >&2
if [ ${#failed[@]} -gt 0 ]; then
    echo "bench: these did not finish: ${failed[*]}" >&2
    exit 1
fi
