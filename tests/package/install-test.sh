#!/usr/bin/env bash
# Installs a build into a temporary prefix, checks that every file lands where a Debian desktop
# looks for it, that the installed programs answer --help and --version without a display, and
# that the menu entry starts Quillon in the user's home.
# Usage: install-test.sh CMAKE BUILD_DIR [EMULATOR ...]
set -uo pipefail

cmake=$1
build=$2
shift 2
emulator=("$@")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cmake" --install "$build" --prefix "$prefix" > "$scratch/install.log" 2>&1; then
    cat "$scratch/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

for file in bin/quillon bin/quillon-monitor; do
    [ -x "$prefix/$file" ] || fail "$file missing or not executable"
done
for file in share/applications/quillon.desktop \
    share/icons/hicolor/scalable/apps/quillon.svg \
    share/icons/hicolor/48x48/apps/quillon.png \
    share/icons/hicolor/64x64/apps/quillon.png \
    share/doc/quillon/README.md \
    share/doc/quillon/docs/screenshot.png; do
    [ -s "$prefix/$file" ] || fail "$file missing or empty"
done
# An icon in a size folder that is not its real size is scaled or skipped by the desktop.
for size in 48 64; do
    file "$prefix/share/icons/hicolor/${size}x$size/apps/quillon.png" | grep -q "PNG image data, $size x $size" ||
        fail "the ${size}x$size icon is not a $size px PNG"
done

desktop=$prefix/share/applications/quillon.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
for line in 'Name=Quillon' 'Icon=quillon' 'Terminal=false' 'Categories=AudioVideo;Audio;'; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done

# Neither option may need a display: no DISPLAY, no Wayland, no offscreen platform.
run_installed() {
    local name=$1
    shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${emulator[@]}" "$prefix/bin/$name" "$@"
}
for name in quillon quillon-monitor; do
    if ! out=$(run_installed "$name" --version 2>&1); then
        fail "$name --version exits non-zero: $out"
    elif ! grep -qE "^$name [0-9]+\.[0-9]+\.[0-9]+$" <<< "$out"; then
        fail "$name --version prints '$out'"
    fi
    if ! out=$(run_installed "$name" --help 2>&1); then
        fail "$name --help exits non-zero: $out"
    elif ! grep -q "^Usage: $name" <<< "$out"; then
        fail "$name --help prints no usage line"
    fi
done

# The menu entry, launched as a desktop launches it, with a stand-in quillon that records where
# it started: it must start in the home folder, where config.ini lives.
home=$scratch/home
mkdir -p "$home" "$scratch/stand-in"
printf '#!/bin/sh\npwd > "%s/started-in"\n' "$scratch" > "$scratch/stand-in/quillon"
chmod +x "$scratch/stand-in/quillon"
(cd "$scratch" && HOME=$home PATH=$scratch/stand-in:$PATH gio launch "$desktop") > "$scratch/launch.log" 2>&1 ||
    fail "gio launch failed: $(cat "$scratch/launch.log")"
for _ in $(seq 100); do
    [ -s "$scratch/started-in" ] && break
    sleep 0.1
done
if [ ! -s "$scratch/started-in" ]; then
    fail "the desktop entry did not start quillon"
elif [ "$(cat "$scratch/started-in")" != "$home" ]; then
    fail "the desktop entry started quillon in $(cat "$scratch/started-in"), not in the home $home"
fi

echo "installed tree:"
(cd "$prefix" && find . -type f | sort)
if [ "$failures" -gt 0 ]; then
    echo "package install test: $failures failure(s)"
    exit 1
fi
echo "package install test: passed"
