#!/usr/bin/env bash
# Installs the Debian packages Quillon needs. "run" for building and running the program,
# "test" adds what the test suite, the 32-bit build and the tools around it need.
# Quick when everything is already there: apt is only called for what is missing.
set -euo pipefail

what=${1:-run}

run_packages=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev xdg-utils)
test_packages=(
    googletest libgtest-dev
    g++-multilib
    qt6-base-dev:i386 libgl-dev:i386 libgtest-dev:i386
    qemu-user
    liblo-tools iproute2 util-linux
    clang-14 libclang-rt-14-dev clang-format
    xvfb x11-apps x11-utils imagemagick at-spi2-core dbus
    locales
    dpkg-dev file desktop-file-utils libglib2.0-bin lintian appstream man-db
    libxcb1-dev libxcb-xtest0-dev
)

packages=("${run_packages[@]}")
if [ "$what" = test ]; then
    packages+=("${test_packages[@]}")
fi

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then
    sudo_cmd=(sudo)
fi

if [ "$what" = test ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    need_update=1
fi

missing=()
native=$(dpkg --print-architecture)
for p in "${packages[@]}"; do
    case "$p" in *:*) q=$p ;; *) q=$p:$native ;; esac
    status=$(dpkg-query -W -f='${db:Status-Status}' "$q" 2>/dev/null || dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
    echo "setup: installing ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    if [ ${#missing[@]} -gt 0 ]; then
        DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
fi

# A locale with a decimal comma, so the tests can show that number parsing ignores the locale.
if [ "$what" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
