#!/usr/bin/env bash
# Runs inside the loopback-only namespace made by test.sh: every build's suite, then the
# fuzzers' short runs. Prints one closing "N passed, N failed" line for all of them.
#   QUILLON_TEST_BUILDS  the builds under BUILD_DIR to test (default x86_64 i386 sanitize)
#   QUILLON_FUZZ         empty: no fuzzers
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}
. "$repo/scripts/lib.sh"
require_loopback_only

passed=0
failed=0
count() {
    local log=$1
    local line
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    local total fails
    fails=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<< "$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<< "$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
}

status=0
# LeakSanitizer is on: the program must not leak over the suite's runs, long-use check included.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for dir in ${QUILLON_TEST_BUILDS:-x86_64 i386 sanitize}; do
    echo "=== suite: $dir"
    log="$build/ctest-$dir.log"
    (cd "$build/$dir" && ctest --output-on-failure --timeout 900 -j"$(nproc)") 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
    count "$log"
    # The failure paths that run as an unprivileged user: show that they ran rather than skipped.
    (cd "$build/$dir" && ctest -R unprivileged -V 2>&1) | grep -E '(PASS|SKIP|FAIL!) +: SceneTest::forbidden' || true
done

if [ -n "${QUILLON_FUZZ-1}" ]; then
    echo "=== fuzzers (short runs)"
    if BUILD_DIR=$build bash "$repo/scripts/fuzz.sh"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        status=1
    fi
fi

echo "$passed passed, $failed failed"
exit $status
