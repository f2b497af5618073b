#!/usr/bin/env bash
# The long-use check: many rounds of fader moves, links, banks, saves, loads and resets against a
# socket on loopback, in a loopback-only namespace; resident memory and open files must stay flat.
# Usage: scripts/soak.sh [rounds] (default 60, about 8 minutes). Needs the test set-up and build.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}/x86_64
rounds=${1:-60}
cmake --build "$build" --target bench_soak > /dev/null

namespace=(unshare --net)
[ "$(id -u)" = 0 ] || namespace=(unshare --net --map-root-user)
"${namespace[@]}" bash -c 'ip link set lo up && exec "$0" "$1"' "$build/bench/bench_soak" "$rounds"
