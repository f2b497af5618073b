#!/usr/bin/env bash
# Installs the Debian packages Quillon needs. "run" for building and running the program,
# "test" adds what the test suite, the 32-bit build and the tools around it need.
# Quick when everything is already there: apt is only called for what is missing. Without root
# and without sudo it prints the command to run as root and stops.
set -euo pipefail

what=${1:-run}

run_packages=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev xdg-utils)
test_packages=(
    googletest libgtest-dev
    g++-multilib
    qt6-base-dev:i386 libgl-dev:i386 libgtest-dev:i386
    qemu-user
    liblo-tools iproute2 util-linux
    clang-14 libclang-rt-14-dev clang-format gcovr
    xvfb x11-apps x11-utils imagemagick at-spi2-core dbus
    locales
    dpkg-dev file desktop-file-utils libglib2.0-bin lintian appstream man-db
    libxcb1-dev libxcb-xtest0-dev
)

packages=("${run_packages[@]}")
if [ "$what" = test ]; then
    packages+=("${test_packages[@]}")
fi

add_i386=
if [ "$what" = test ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    add_i386=1
fi

missing=()
native=$(dpkg --print-architecture)
for p in "${packages[@]}"; do
    case "$p" in *:*) q=$p ;; *) q=$p:$native ;; esac
    status=$(dpkg-query -W -f='${db:Status-Status}' "$q" 2>/dev/null || dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
done

# A locale with a decimal comma, so the tests can show that number parsing ignores the locale.
need_locale=
if [ "$what" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    need_locale=1
fi

if [ ${#missing[@]} -eq 0 ] && [ -z "$add_i386" ] && [ -z "$need_locale" ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo > /dev/null; then
        commands=()
        [ -n "$add_i386" ] && commands+=("dpkg --add-architecture i386")
        if [ ${#missing[@]} -gt 0 ] || [ -n "$add_i386" ]; then
            commands+=("apt-get update" "apt-get install --no-install-recommends ${missing[*]}")
        fi
        [ -n "$need_locale" ] && commands+=("localedef -i de_DE -f UTF-8 de_DE.UTF-8")
        joined=$(printf ' && %s' "${commands[@]}")
        echo "setup: some packages are missing, and this user can install nothing without sudo. As root, run:" >&2
        echo "    su -c '${joined# && }'" >&2
        echo "then run this command again." >&2
        exit 1
    fi
    as_root=(sudo)
fi

if [ -n "$add_i386" ]; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ] || [ -n "$add_i386" ]; then
    echo "setup: installing ${missing[*]}"
    "${as_root[@]}" apt-get update -qq
    if [ ${#missing[@]} -gt 0 ]; then
        DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
fi
if [ -n "$need_locale" ]; then
    "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
