#!/usr/bin/env bash
# Installs what is missing, builds the 64-bit, 32-bit (i386) and sanitizer builds, checks the
# Debian packages, and runs the whole suite of each build and the fuzzers inside a fresh network
# namespace that has only loopback, so no test can send anywhere real. Run as root (as CI does),
# it then runs the 64-bit suite once more as a normal user, from a copy of the tree that user
# owns, so that nothing passes only for root.
#   QUILLON_TEST_BUILDS="x86_64"  only these builds, without the format check, packages and fuzzers
#   BUILD_DIR=DIR                 build root (default build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
. "$repo/scripts/lib.sh"
bash scripts/setup.sh test

build=${BUILD_DIR:-$repo/build}
builds=${QUILLON_TEST_BUILDS:-x86_64 i386 sanitize}
full=$([ -z "${QUILLON_TEST_BUILDS:-}" ] && echo 1 || true)
jobs=$(nproc)
started=$(date +%s)

configure() {
    local dir=$1 options=()
    case "$dir" in
    i386) options=(-DCMAKE_TOOLCHAIN_FILE="$repo/cmake/i386-linux-gnu.cmake") ;;
    # A debug build, so the program's own assertions are checked under the sanitizers too.
    sanitize) options=(-DQUILLON_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    esac
    cmake -S "$repo" -B "$build/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" > "$build/$dir.configure.log" 2>&1 ||
        { cat "$build/$dir.configure.log"; return 1; }
}

mkdir -p "$build"
if [ -n "$full" ]; then
    configure x86_64
    # An unformatted file fails the run before anything is built.
    cmake --build "$build/x86_64" --target check-format
fi
for dir in $builds; do
    configure "$dir"
    cmake --build "$build/$dir" -j"$jobs"
done
[ -z "$full" ] || BUILD_DIR=$build bash "$repo/scripts/package.sh"

status=0
BUILD_DIR=$build QUILLON_TEST_BUILDS=$builds QUILLON_FUZZ=$full loopback_only bash "$repo/scripts/run-suites.sh" || status=1

if [ -n "$full" ] && [ "$(id -u)" = 0 ]; then
    user=quillon-test
    id "$user" > /dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
    copy=$(mktemp -d /tmp/quillon-as-user.XXXXXX)
    on_exit 'rm -rf "$copy"'
    if git -C "$repo" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        git -C "$repo" ls-files -co --exclude-standard -z | tar -C "$repo" --null -T - -cf - | tar -C "$copy" -xf -
    else
        tar -C "$repo" --exclude=./build -cf - . | tar -C "$copy" -xf -
    fi
    chown -R "$user:" "$copy"
    echo "=== the 64-bit suite again, as the normal user $user"
    runuser -u "$user" -- env HOME="$(getent passwd "$user" | cut -d: -f6)" QUILLON_TEST_BUILDS=x86_64 \
        bash "$copy/scripts/test.sh" || status=1
fi
echo "test.sh: done in $(( $(date +%s) - started )) s"
exit $status
