#!/usr/bin/env bash
# Starts Quillon under Xvfb with a config.ini for 127.0.0.1 and saves a screenshot of its window
# (default docs/screenshot.png). Needs the test set-up (Xvfb, ImageMagick) and a built program.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$repo/build/x86_64/src/quillon}
output=${2:-$repo/docs/screenshot.png}
output=$(realpath -m "$output")

work=$(mktemp -d)
trap 'kill "$app" "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
printf '127\r\n0\r\n0\r\n1\r\n' > "$work/config.ini"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do
    DISPLAY=$display xdpyinfo > /dev/null 2>&1 && break
    sleep 0.1
done

(cd "$work" && DISPLAY=$display exec "$program") > "$work/quillon.log" 2>&1 &
app=$!
for _ in $(seq 100); do
    DISPLAY=$display xwininfo -name "$(printf 'Quillon Beta for Behringer X32 Compact Digital Mixer - %s bit - 640x600 Pixel' 64)" \
        > "$work/window" 2>/dev/null && break
    sleep 0.1
done
sleep 0.5
id=$(awk '/Window id:/ {print $4}' "$work/window")
mkdir -p "$(dirname "$output")"
DISPLAY=$display import -window "$id" "$output"
echo "screenshot: $output"
