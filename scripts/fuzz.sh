#!/usr/bin/env bash
# Configures and builds the libFuzzer targets (fuzz/CMakeLists.txt) with clang, then runs each for a
# bounded time against its seed corpus through CTest; a crash, hang, leak or sanitizer report fails.
#   FUZZ_RUNS=N     inputs per target (default 20000), each target stopped after 10 s at the latest
#   FUZZ_SECONDS=N  run each target for N seconds instead
#   BUILD_DIR=DIR   build root (default build); the fuzz build, new inputs and crash files go to
#                   DIR/fuzz, never into fuzz/
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}
case "$build" in /*) ;; *) build=$repo/$build ;; esac
out=$build/fuzz
runs=${FUZZ_RUNS:-20000}
seconds=10
if [ -n "${FUZZ_SECONDS:-}" ]; then
    runs=-1
    seconds=$FUZZ_SECONDS
fi

CXX=${FUZZ_CXX:-clang++-14} cmake -S "$repo" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON \
    -DBUILD_TESTING=OFF -DQUILLON_FUZZ_RUNS="$runs" -DQUILLON_FUZZ_SECONDS="$seconds" > "$out.configure.log" 2>&1 ||
    { cat "$out.configure.log"; exit 1; }
cmake --build "$out" --target quillon_fuzzers -j"$(nproc)"
(cd "$out" && ctest -L fuzz --output-on-failure -j"$(nproc)" --timeout $((seconds + 120)))
