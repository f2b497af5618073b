#!/usr/bin/env bash
# Installs what is missing, builds the 64-bit, 32-bit (i386) and sanitizer builds, and runs the
# whole suite of each inside a fresh network namespace that has only loopback, so no test can
# send anywhere real.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash scripts/setup.sh test

build=${BUILD_DIR:-$repo/build}
jobs=$(nproc)
started=$(date +%s)

configure() {
    local dir=$1
    shift
    cmake -S "$repo" -B "$build/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$build/$dir.configure.log" 2>&1 ||
        { cat "$build/$dir.configure.log"; return 1; }
}
configure_and_build() {
    configure "$@"
    cmake --build "$build/$1" -j"$jobs"
}

mkdir -p "$build"
configure x86_64
# An unformatted file fails the run before anything is built.
cmake --build "$build/x86_64" --target check-format
configure_and_build x86_64
configure_and_build i386 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/i386-linux-gnu.cmake"
configure_and_build sanitize -DQUILLON_SANITIZE=ON
BUILD_DIR=$build bash "$repo/scripts/package.sh"

. "$repo/scripts/lib.sh"
BUILD_DIR=$build loopback_only bash "$repo/scripts/run-suites.sh"
echo "test.sh: done in $(( $(date +%s) - started )) s"
