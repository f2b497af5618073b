#!/usr/bin/env bash
# The long-use check: many rounds of fader moves, links, banks, saves, loads and resets against a
# socket on loopback, in a loopback-only namespace; resident memory and open files must stay flat.
# Usage: scripts/soak.sh [rounds] (default 60, about 8 minutes). Needs the test set-up and build.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}/x86_64
rounds=${1:-60}
cmake --build "$build" --target bench_soak > /dev/null

. "$repo/scripts/lib.sh"
loopback_only "$build/bench/bench_soak" "$rounds"
