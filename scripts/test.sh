#!/usr/bin/env bash
# Installs what is missing, builds the 64-bit, 32-bit (i386) and sanitizer builds, checks the
# Debian packages, and runs the whole suite of each build and the fuzzers inside a fresh network
# namespace that has only loopback, so no test can send anywhere real. Run as root (as CI does),
# it then runs the 64-bit suite once more as a normal user, from a copy of the tree that user
# owns, so that nothing passes only for root. That user has no account: an unused uid, whose
# home and files live in a temporary folder that goes when the run ends.
#   QUILLON_TEST_BUILDS="x86_64"  only these builds, without the format check, packages and fuzzers
#   BUILD_DIR=DIR                 build root (default build)
#   test.sh --as-user             (root) only the 64-bit build and suite as that user
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
. "$repo/scripts/lib.sh"
bash scripts/setup.sh test

# The 64-bit build and suite as a normal user without an account: the first uid and gid from
# 59999 down that neither passwd nor group knows, no supplementary groups, and HOME and TMPDIR in
# a temporary folder beside the copy of the tree, all owned by that uid and removed on exit. The
# user has a name only inside a mount namespace of its own, where copies of passwd and group with
# its line are mounted over the real ones (D-Bus refuses a user without one): nothing changes
# outside, even when the run is killed.
suite_as_user() {
    local id=59999
    while getent passwd "$id" > /dev/null || getent group "$id" > /dev/null; do
        id=$((id - 1))
    done
    as_user=$(mktemp -d /tmp/quillon-as-user.XXXXXX)
    on_exit 'rm -rf "$as_user"'
    mkdir "$as_user/tree" "$as_user/home" "$as_user/tmp"
    if git -C "$repo" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        git -C "$repo" ls-files -co --exclude-standard -z | tar -C "$repo" --null -T - -cf - | tar -C "$as_user/tree" -xf -
    else
        tar -C "$repo" --exclude=./build -cf - . | tar -C "$as_user/tree" -xf -
    fi
    chown -R "$id:$id" "$as_user"
    echo "quillon-test:x:$id:$id::$as_user/home:/bin/bash" | cat /etc/passwd - > "$as_user/passwd"
    echo "quillon-test:x:$id:" | cat /etc/group - > "$as_user/group"
    echo "=== the 64-bit suite again, as the normal user $id (no account)"
    unshare --mount --propagation private bash -c \
        'mount --bind "$1/passwd" /etc/passwd && mount --bind "$1/group" /etc/group && shift && exec "$@"' bash \
        "$as_user" setpriv --reuid="$id" --regid="$id" --clear-groups env -i PATH="$PATH" HOME="$as_user/home" \
        TMPDIR="$as_user/tmp" QUILLON_TEST_BUILDS=x86_64 bash "$as_user/tree/scripts/test.sh"
}
if [ "${1:-}" = --as-user ]; then
    [ "$(id -u)" = 0 ] || { echo "test.sh: --as-user needs root" >&2; exit 1; }
    suite_as_user
    exit
fi

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
    suite_as_user || status=1
fi
echo "test.sh: done in $(( $(date +%s) - started )) s"
exit $status
