#!/usr/bin/env bash
# Starts Quillon under Xvfb with a config.ini for 127.0.0.1 and saves a screenshot of its window
# (default docs/screenshot.png). Needs the test set-up (Xvfb, ImageMagick) and a built program.
# Usage: screenshot.sh [PROGRAM [OUTPUT]]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/scripts/lib.sh"
program=$(realpath "${1:-$repo/build/x86_64/src/quillon}")
output=$(realpath -m "${2:-$repo/docs/screenshot.png}")

work=$(mktemp -d)
on_exit 'rm -rf "$work"'
printf '127\r\n0\r\n0\r\n1\r\n' > "$work/config.ini"
start_xvfb "$work/xvfb.log"

(cd "$work" && exec "$program") > "$work/quillon.log" 2>&1 &
app=$!
on_exit 'kill "$app" 2> /dev/null'
# The title says which build runs: "64 bit" or "32 bit".
title_pattern='^Quillon Beta for Behringer X32 Compact Digital Mixer - [0-9]+ bit - 640x600 Pixel$'
id=
for _ in $(seq 100); do
    id=$(xwininfo -root -tree 2> /dev/null | grep -E "\"Quillon Beta" | awk '{print $1}' | head -n 1 || true)
    [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable' && break
    sleep 0.1
done
[ -n "$id" ] || { echo "screenshot: the window did not appear" >&2; cat "$work/quillon.log" >&2; exit 1; }
xwininfo -id "$id" | grep -oE '"Quillon Beta[^"]*"' | tr -d '"' | grep -qE "$title_pattern"
sleep 0.5
mkdir -p "$(dirname "$output")"
import -window "$id" "$output"
echo "screenshot: $output"
