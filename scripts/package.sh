#!/usr/bin/env bash
# Builds the Debian packages of the 64-bit and the i386 build with CPack and checks them: lintian
# must find no error and no warning; each is unpacked into a scratch root and its files,
# architecture, Depends, manual pages, desktop entry and AppStream metainfo looked at; the amd64
# programs are run from there. Needs neither root nor the network. The packages stay in each
# build's packages/ folder.
# Usage: package.sh [X86_64_BUILD_DIR [I386_BUILD_DIR]]
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}
amd64_build=${1:-$build/x86_64}
i386_build=${2:-$build/i386}
started=$(date +%s)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "package: FAIL: $*"
    failures=$((failures + 1))
}

# What every package holds, below its root.
expected_files=(
    usr/bin/quillon
    usr/bin/quillon-monitor
    usr/share/applications/quillon.desktop
    usr/share/icons/hicolor/scalable/apps/quillon.svg
    usr/share/icons/hicolor/48x48/apps/quillon.png
    usr/share/icons/hicolor/64x64/apps/quillon.png
    usr/share/doc/quillon/README.md
    usr/share/doc/quillon/docs/screenshot.png
    usr/share/doc/quillon/copyright
    usr/share/doc/quillon/changelog.gz
    usr/share/man/man1/quillon.1.gz
    usr/share/man/man1/quillon-monitor.1.gz
    usr/share/metainfo/io.github.quillon_mixer.quillon.metainfo.xml
)

# Runs cpack in a build folder; the log goes next to the package.
make_package() {
    local dir=$1
    if [ ! -f "$dir/CPackConfig.cmake" ]; then
        echo "package: no configured build in $dir" > "$scratch/$(basename "$dir").log"
        return 1
    fi
    rm -f "$dir"/packages/quillon_*.deb
    (cd "$dir" && cpack -G DEB) > "$dir/cpack.log" 2>&1 || { cp "$dir/cpack.log" "$scratch/$(basename "$dir").log"; return 1; }
}

# The package names of a Depends line, one a line, without versions; alternatives count too.
package_names() {
    sed -E 's/ \([^)]*\)//g; s/ *[,|] */\n/g' <<< "$1"
}

# Every library a binary links must come from a package the Depends line names: dpkg-shlibdeps
# made that line, this checks it independently from the NEEDED entries and dpkg's file list.
check_linked_libraries() {
    local root=$1 triplet=$2 depends=$3
    local library owner
    for library in $(objdump -p "$root/usr/bin/quillon" "$root/usr/bin/quillon-monitor" | awk '/NEEDED/ {print $2}' | sort -u); do
        owner=$(dpkg -S "/usr/lib/$triplet/$library" 2>/dev/null || dpkg -S "/lib/$triplet/$library" 2>/dev/null)
        owner=${owner%%:*}
        if [ -z "$owner" ]; then
            fail "no installed package holds $library for $triplet"
        elif ! package_names "$depends" | grep -qxF "$owner"; then
            fail "$library comes from $owner, which Depends does not name"
        fi
    done
}

# Checks one package; `arch` is the Debian architecture, `machine` what file(1) says of its ELF.
check_package() {
    local dir=$1 arch=$2 triplet=$3 machine=$4
    local debs=("$dir"/packages/quillon_*_"$arch".deb)
    if [ ! -f "${debs[0]}" ]; then
        fail "no $arch package in $dir/packages"
        return
    fi
    local deb=${debs[0]}
    echo "--- $deb"
    dpkg-deb -f "$deb"

    [ "$(dpkg-deb -f "$deb" Package)" = quillon ] || fail "$arch: package name is not quillon"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$arch: Architecture is $(dpkg-deb -f "$deb" Architecture)"
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$arch: Version is not the project's $version"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "$arch: no Maintainer"
    [ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "$arch: no Description"

    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    local package
    for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
        grep -qF ", $package (>= " <<< ", $depends" || fail "$arch: Depends lacks a versioned $package"
    done
    # The 32-bit compatibility libraries of a 64-bit system would be wrong on a real i386 one.
    if package_names "$depends" | grep -qE '^(lib32|libx32|libc6-i386)'; then
        fail "$arch: Depends names a multilib package: $depends"
    fi

    local listing
    listing=$(dpkg-deb -c "$deb")
    local root=$scratch/root-$arch
    dpkg-deb -x "$deb" "$root" || { fail "$arch: dpkg-deb -x"; return; }
    local file
    for file in "${expected_files[@]}"; do
        grep -q " \./$file$" <<< "$listing" || fail "$arch: the package does not list /$file"
        [ -s "$root/$file" ] || fail "$arch: /$file is missing or empty after unpacking"
    done
    # Nothing else: a test or bench program with an install rule would ship to users.
    local extra
    extra=$(cd "$root" && find . -type f -printf '%P\n' | grep -vxF -f <(printf '%s\n' "${expected_files[@]}"))
    [ -z "$extra" ] || fail "$arch: the package holds files it should not: $extra"
    for file in usr/bin/quillon usr/bin/quillon-monitor; do
        [ -x "$root/$file" ] || fail "$arch: /$file is not executable"
        file -b "$root/$file" | grep -q "$machine.*, stripped" || fail "$arch: /$file is not a stripped $machine binary"
    done
    check_linked_libraries "$root" "$triplet" "$depends"
    check_metadata "$deb" "$root" "$arch" "$version"
}

# What lintian, a software centre and a desktop check: lintian with no error or warning (tags that
# are only information or pedantic are shown, not counted), the metainfo and desktop entry by
# their validators, the changelog's latest entry against the package's version, and manual pages
# that render without a warning from groff.
check_metadata() {
    local deb=$1 root=$2 arch=$3 version=$4
    local out
    # lintian says it would rather not run as root, which the CI does; that notice is no tag.
    if ! out=$(lintian --fail-on error,warning --info --display-info "$deb" 2>&1 | { grep -v '^running with root privileges' || true; }); then
        fail "$arch: lintian reports errors or warnings:"$'\n'"$out"
    else
        echo "lintian ($arch): $(grep -c '^[EW]:' <<< "$out") errors and warnings, $(grep -c '^I:' <<< "$out") informational tags"
        grep '^I:' <<< "$out" | sed 's/^/    /'
    fi
    out=$(appstreamcli validate --no-net --explain "$root"/usr/share/metainfo/*.metainfo.xml 2>&1) ||
        fail "$arch: appstreamcli validate --no-net rejects the metainfo file: $out"
    out=$(desktop-file-validate "$root/usr/share/applications/quillon.desktop" 2>&1) && [ -z "$out" ] ||
        fail "$arch: desktop-file-validate: $out"
    local latest
    latest=$(gzip -dc "$root/usr/share/doc/quillon/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>&1)
    [ "$latest" = "$version" ] || fail "$arch: the changelog's latest entry is $latest, the package's version $version"
    # An icon in a size folder that is not its real size is scaled or skipped by the desktop.
    local size
    for size in 48 64; do
        file "$root/usr/share/icons/hicolor/${size}x$size/apps/quillon.png" | grep -q "PNG image data, $size x $size" ||
            fail "$arch: the ${size}x$size icon is not a $size px PNG"
    done
    local line
    for line in 'Name=Quillon' 'Icon=quillon' 'Terminal=false' 'Categories=AudioVideo;Audio;'; do
        grep -qxF "$line" "$root/usr/share/applications/quillon.desktop" || fail "$arch: the desktop entry lacks $line"
    done
    local page
    for page in quillon quillon-monitor; do
        out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 > /dev/null)
        [ -z "$out" ] || fail "$arch: man $page warns: $out"
    done
}

echo "=== package: building the packages"
make_package "$amd64_build" &
amd64_job=$!
make_package "$i386_build" &
i386_job=$!
wait "$amd64_job" || fail "cpack in $amd64_build: $(cat "$scratch/$(basename "$amd64_build").log")"
wait "$i386_job" || fail "cpack in $i386_build: $(cat "$scratch/$(basename "$i386_build").log")"

echo "=== package: checking them"
check_package "$amd64_build" amd64 x86_64-linux-gnu x86-64
check_package "$i386_build" i386 i386-linux-gnu "Intel 80386"

# The unpacked amd64 programs start; neither option needs a display.
root=$scratch/root-amd64
if [ -x "$root/usr/bin/quillon-monitor" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/quillon-monitor" --help > "$scratch/help.txt" 2>&1 ||
        fail "quillon-monitor --help from the unpacked package exits non-zero: $(cat "$scratch/help.txt")"
    grep -q '^Usage: quillon-monitor' "$scratch/help.txt" || fail "quillon-monitor --help prints no usage line"
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/quillon" --version 2>&1) ||
        fail "quillon --version from the unpacked package exits non-zero: $out"
    grep -qE '^quillon [0-9]+\.[0-9]+\.[0-9]+$' <<< "$out" || fail "quillon --version prints '$out'"
    # Every option a program's --help names is documented in its manual page.
    for name in quillon quillon-monitor; do
        page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/$name.1.gz" 2> /dev/null | col -b)
        for option in $(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$name" --help 2>&1 | grep -oE -- '--[a-z]+' | sort -u); do
            grep -qF -- "$option" <<< "$page" || fail "man $name does not document $option"
        done
    done
fi

# The menu entry, launched as a desktop launches it, with a stand-in quillon that records where it
# started: it must start in the home folder, where config.ini lives.
mkdir -p "$scratch/home" "$scratch/stand-in"
printf '#!/bin/sh\npwd > "%s/started-in"\n' "$scratch" > "$scratch/stand-in/quillon"
chmod +x "$scratch/stand-in/quillon"
(cd "$scratch" && HOME=$scratch/home PATH=$scratch/stand-in:$PATH gio launch "$root/usr/share/applications/quillon.desktop") \
    > "$scratch/launch.log" 2>&1 || fail "gio launch failed: $(cat "$scratch/launch.log")"
for _ in $(seq 50); do
    [ -s "$scratch/started-in" ] && break
    sleep 0.1
done
[ "$(cat "$scratch/started-in" 2> /dev/null)" = "$scratch/home" ] ||
    fail "the menu entry starts quillon in '$(cat "$scratch/started-in" 2> /dev/null)', not in the home folder"

elapsed=$(($(date +%s) - started))
if [ "$failures" -gt 0 ]; then
    echo "package: FAILED ($failures failure(s), $elapsed s)"
    exit 1
fi
echo "package: PASSED, amd64 and i386 packages in $amd64_build/packages and $i386_build/packages ($elapsed s)"
