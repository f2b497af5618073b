#!/usr/bin/env bash
# Builds every fuzz/*Fuzz.cpp as a libFuzzer target with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for a bounded time against its seed corpus; any crash, leak or sanitizer report fails.
#   FUZZ_RUNS=N     inputs per target (default 20000)
#   FUZZ_SECONDS=N  run each target for N seconds instead
#   BUILD_DIR=DIR   build root, relative to the repository unless absolute (default build);
#                   binaries, new inputs and crash files go to DIR/fuzz, never into fuzz/
# A target names the library sources it needs in a "// fuzz-sources:" line; its seeds are in
# fuzz/corpus/<name in snake case without "Fuzz">, e.g. OscDecoderFuzz.cpp uses fuzz/corpus/osc_decoder.
set -euo pipefail

cd "$(dirname "$0")/.."
out="${BUILD_DIR:-build}/fuzz"
cxx="${FUZZ_CXX:-clang++-14}"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc)
if [ -n "${FUZZ_SECONDS:-}" ]; then
    limit=(-max_total_time="$FUZZ_SECONDS")
else
    limit=(-runs="${FUZZ_RUNS:-20000}")
fi
# Leaks count as failures even when the caller turned leak checking off for its own suites
# (the last setting of an option wins).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:print_stacktrace=1"

shopt -s nullglob
targets=(fuzz/*Fuzz.cpp)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz/*Fuzz.cpp found" >&2
    exit 1
fi
mkdir -p "$out/artifacts"

for source in "${targets[@]}"; do
    name=$(basename "$source" .cpp)
    read -r -a sources <<<"$(sed -n 's|^// fuzz-sources:||p' "$source")"
    echo "fuzz: building $name"
    "$cxx" "${flags[@]}" "$source" "${sources[@]}" -o "$out/$name"

    seeds="fuzz/corpus/$(sed -E 's/Fuzz$//; s/([a-z0-9])([A-Z])/\1_\2/g' <<<"$name" | tr '[:upper:]' '[:lower:]')"
    corpora=("$out/corpus/$name")  # first corpus directory: where libFuzzer writes new inputs
    mkdir -p "${corpora[0]}"
    if [ -d "$seeds" ]; then
        corpora+=("$seeds")
    fi
    echo "fuzz: running $name (${limit[*]})"
    if ! "$out/$name" "${limit[@]}" -artifact_prefix="$out/artifacts/$name-" "${corpora[@]}"; then
        echo "fuzz: $name FAILED; the input is in $out/artifacts/" >&2
        exit 1
    fi
done
echo "fuzz: all ${#targets[@]} target(s) passed"
