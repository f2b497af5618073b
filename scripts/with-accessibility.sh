#!/usr/bin/env bash
# Runs a command as a screen reader's user would have it: on a private X server, in a private
# D-Bus session with the accessibility bus up, so that Qt's AT-SPI bridge is active.
# Usage: with-accessibility.sh COMMAND [ARGUMENT ...]
set -euo pipefail

. "$(dirname "$0")/lib.sh"
start_xvfb
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher > /dev/null 2>&1 &
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2> /dev/null | grep -q "boolean true" && break
        sleep 0.05
    done
    "$@"
    status=$?
    kill %1 2> /dev/null
    exit $status' with-accessibility "$@"
