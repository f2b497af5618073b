#!/usr/bin/env bash
# Installs what is missing, builds Quillon and starts it in the current folder. Without a
# config.ini there, writes one for 127.0.0.1 and starts quillon-monitor beside the program,
# so its messages can be seen without a console; the monitor answers and forwards as a console
# does, so `run.sh --read-console` starts from the monitor's mix, and `run.sh --follow` run in two
# terminals gives two windows that follow each other (the second uses the first one's monitor).
# Arguments go to quillon.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bash "$repo/scripts/setup.sh" run

build=${BUILD_DIR:-$repo/build}/release
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build "$build" -j"$(nproc)"

if [ ! -e config.ini ]; then
    printf '127\r\n0\r\n0\r\n1\r\n' > config.ini
    echo "run.sh: wrote config.ini for 127.0.0.1 in $PWD"
fi

if [ "$(head -c 64 config.ini | tr -d '\r')" = "$(printf '127\n0\n0\n1')" ] && [ -x "$build/src/monitor/quillon-monitor" ]; then
    # Its lines go to this terminal as they come; the program starts once it listens, so the
    # first questions of --read-console find it.
    listening=$(mktemp)
    "$build/src/monitor/quillon-monitor" --answer --bind 127.0.0.1 --port 10023 > >(tee "$listening") &
    monitor=$!
    trap 'kill "$monitor" 2> /dev/null; wait "$monitor" 2> /dev/null; rm -f "$listening"' EXIT
    for _ in $(seq 100); do
        grep -q '^listening on ' "$listening" && break
        kill -0 "$monitor" 2> /dev/null || break
        sleep 0.05
    done
    if ! grep -q '^listening on ' "$listening"; then
        echo "run.sh: quillon-monitor did not start (another one may listen already); going on without it" >&2
    fi
fi
"$build/src/quillon" "$@"
