#!/usr/bin/env bash
# The long-use check: many rounds of fader moves, links, banks, saves, loads and resets against a
# socket on loopback, in a loopback-only namespace; resident memory and open files must stay flat.
# Usage: scripts/soak.sh [rounds] (default 60, about 8 minutes). Needs the test set-up and a build
# with the tests in BUILD_DIR/x86_64 (default build/x86_64).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/scripts/lib.sh"
build=${BUILD_DIR:-$repo/build}/x86_64
rounds=${1:-60}
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "soak: no build in $build; configure one with: cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo" >&2
    exit 1
fi
cmake --build "$build" -j2 --target bench_soak > "$build/soak-build.log" 2>&1 ||
    { tail -n 50 "$build/soak-build.log"; exit 1; }
loopback_only bash -c '. "$1/scripts/lib.sh" && require_loopback_only && exec "$2" "$3"' bash "$repo" \
    "$build/bench/bench_soak" "$rounds"
