#!/usr/bin/env bash
# Builds every fuzz/*Fuzz.cpp as a libFuzzer target with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for a bounded time against its seed corpus; any crash, hang, leak or sanitizer report fails.
#   FUZZ_RUNS=N     inputs per target (default 20000), each target stopped after 10 s at the latest
#   FUZZ_SECONDS=N  run each target for N seconds instead
#   FUZZ_JOBS=N     compilers, linkers and targets run at once (default: the number of processors)
#   BUILD_DIR=DIR   build root, relative to the repository unless absolute (default build);
#                   binaries, logs, new inputs and crash files go to DIR/fuzz, never into fuzz/
# A target names the library sources it needs in a "// fuzz-sources:" line and the pkg-config
# packages it needs in a "// fuzz-packages:" line; its seeds are in fuzz/corpus/<name in snake
# case without "Fuzz">, e.g. OscDecoderFuzz.cpp uses fuzz/corpus/osc_decoder.
set -euo pipefail

cd "$(dirname "$0")/.."
out="${BUILD_DIR:-build}/fuzz"
cxx="${FUZZ_CXX:-clang++-14}"
jobs="${FUZZ_JOBS:-$(nproc)}"
# -fPIC: Qt refuses code built without position independence. QT_NO_VERSION_TAGGING: the
# precompiled Qt headers below would otherwise make targets without Qt need its library.
flags=(-std=c++20 -g -O1 "-fsanitize=fuzzer,address,undefined" -fno-sanitize-recover=all -fPIC -DQT_NO_KEYWORDS
       -DQT_NO_VERSION_TAGGING -Isrc)
# -timeout: an input that takes longer is a hang, and fails.
options=(-timeout=10)
if [ -n "${FUZZ_SECONDS:-}" ]; then
    options+=(-max_total_time="$FUZZ_SECONDS")
else
    options+=(-runs="${FUZZ_RUNS:-20000}" -max_total_time=10)
fi
# Leaks count as failures even when the caller turned leak checking off for its own suites
# (the last setting of an option wins).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:print_stacktrace=1"

# Compiler or linker flags of a pkg-config package; Qt's usual Debian paths when pkg-config
# does not know it.
package_flags() { # --cflags|--libs package
    if pkg-config --exists "$2" 2>/dev/null; then
        pkg-config "$1" "$2"
    elif [ "$1" = --cflags ]; then
        echo "-I/usr/include/x86_64-linux-gnu/qt6 -I/usr/include/x86_64-linux-gnu/qt6/Qt${2#Qt6}"
    else
        echo "-l$2"
    fi
}

# Interrupted, stop the compilers and targets still running.
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT

# Waits until fewer than $jobs background jobs run.
throttle() {
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true # a failure shows as a missing output file below
    done
}

object_of() { # source file
    echo "$out/obj/$(tr / _ <<<"${1%.cpp}").o"
}

shopt -s nullglob
targets=(fuzz/*Fuzz.cpp)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz/*Fuzz.cpp found" >&2
    exit 1
fi
mkdir -p "$out/artifacts" "$out/obj"

# Each source is compiled once, whatever number of targets use it, with every package's flags.
declare -A sources_of packages_of
all_sources=()
all_packages=()
for source in "${targets[@]}"; do
    sources_of[$source]=$(sed -n 's|^// fuzz-sources:||p' "$source")
    packages_of[$source]=$(sed -n 's|^// fuzz-packages:||p' "$source")
    read -r -a list <<<"$source ${sources_of[$source]}"
    all_sources+=("${list[@]}")
    read -r -a list <<<"${packages_of[$source]}"
    all_packages+=("${list[@]}")
done
mapfile -t all_sources < <(printf '%s\n' "${all_sources[@]}" | sort -u)
mapfile -t all_packages < <(printf '%s\n' "${all_packages[@]}" | sort -u | sed '/^$/d')
cflags=()
for package in "${all_packages[@]}"; do
    read -r -a list <<<"$(package_flags --cflags "$package")"
    cflags+=("${list[@]}")
done

echo "fuzz: compiling fuzz/CommonHeaders.h, then ${#all_sources[@]} source(s), $jobs at a time"
"$cxx" "${flags[@]}" "${cflags[@]}" -x c++-header fuzz/CommonHeaders.h -o "$out/obj/CommonHeaders.h.pch"
for source in "${all_sources[@]}"; do
    rm -f "$(object_of "$source")"
    throttle
    "$cxx" "${flags[@]}" "${cflags[@]}" -include-pch "$out/obj/CommonHeaders.h.pch" -c "$source" \
        -o "$(object_of "$source")" &
done
wait
for source in "${all_sources[@]}"; do
    if [ ! -f "$(object_of "$source")" ]; then
        echo "fuzz: compiling $source FAILED" >&2
        exit 1
    fi
done

echo "fuzz: linking ${#targets[@]} target(s)"
for source in "${targets[@]}"; do
    name=$(basename "$source" .cpp)
    read -r -a list <<<"$source ${sources_of[$source]}"
    objects=()
    for file in "${list[@]}"; do
        objects+=("$(object_of "$file")")
    done
    libs=()
    read -r -a list <<<"${packages_of[$source]}"
    for package in "${list[@]}"; do
        read -r -a more <<<"$(package_flags --libs "$package")"
        libs+=("${more[@]}")
    done
    rm -f "$out/$name"
    throttle
    "$cxx" "${flags[@]}" "${objects[@]}" "${libs[@]}" -o "$out/$name" &
done
wait
for source in "${targets[@]}"; do
    name=$(basename "$source" .cpp)
    if [ ! -x "$out/$name" ]; then
        echo "fuzz: linking $name FAILED" >&2
        exit 1
    fi
done

# Runs one target; its output goes to $out/logs/<name>.log, its exit status to <name>.status.
run_target() { # name seeds
    local name=$1 seeds=$2
    local corpora=("$out/corpus/$name")  # first corpus directory: where libFuzzer writes new inputs
    mkdir -p "${corpora[0]}"
    if [ -d "$seeds" ]; then
        corpora+=("$seeds")
    fi
    local status=0
    "$out/$name" "${options[@]}" -artifact_prefix="$out/artifacts/$name-" "${corpora[@]}" \
        >"$out/logs/$name.log" 2>&1 || status=$?
    echo "$status" >"$out/logs/$name.status"
}

mkdir -p "$out/logs"
echo "fuzz: running ${#targets[@]} target(s), $jobs at a time (${options[*]})"
for source in "${targets[@]}"; do
    name=$(basename "$source" .cpp)
    rm -f "$out/logs/$name.status"
    seeds="fuzz/corpus/$(sed -E 's/Fuzz$//; s/([a-z0-9])([A-Z])/\1_\2/g' <<<"$name" | tr '[:upper:]' '[:lower:]')"
    throttle
    run_target "$name" "$seeds" &
done
wait

failed=0
for source in "${targets[@]}"; do
    name=$(basename "$source" .cpp)
    if [ "$(cat "$out/logs/$name.status" 2>/dev/null)" = 0 ]; then
        echo "fuzz: $name passed: $(grep '^Done' "$out/logs/$name.log" || true)"
    else
        tail -n 60 "$out/logs/$name.log" >&2
        echo "fuzz: $name FAILED; the log is $out/logs/$name.log, the input in $out/artifacts/" >&2
        failed=1
    fi
done
if [ "$failed" != 0 ]; then
    exit 1
fi
echo "fuzz: all ${#targets[@]} target(s) passed"
