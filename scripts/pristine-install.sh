#!/usr/bin/env bash
# Installs the amd64 package on a pristine Debian 12 and takes it off again, as a user would:
# makes a minimal root with mmdebstrap (essential packages and apt only) from the package sources
# this machine's apt uses, installs the package into it with apt, runs `quillon --version` and
# `quillon-monitor --help` and reads both manual pages there, starts the window under Xvfb for a
# screenshot, then purges the package and shows that none of its files is left.
# Slow (a few minutes, some 100 MB from the mirror), so it is run by hand, not by the test command.
# Needs root; installs mmdebstrap when missing. The programs run in a network namespace with only
# loopback, and config.ini says 127.0.0.1: nothing they send can leave the machine.
# Usage: pristine-install.sh [DEB [OUT_DIR]]
#   DEB      default: <build root>/x86_64/packages/quillon_*_amd64.deb (BUILD_DIR as package.sh)
#   OUT_DIR  default: <build root>/pristine; gets result.txt, the screenshot and the logs
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}
deb=${1:-$(ls "$build"/x86_64/packages/quillon_*_amd64.deb 2> /dev/null | head -n 1)}
out=$(realpath -m "${2:-$build/pristine}")
[ -f "$deb" ] || { echo "pristine: no amd64 package; run scripts/package.sh first" >&2; exit 1; }
deb=$(realpath "$deb")
[ "$(id -u)" = 0 ] || { echo "pristine: needs root (mmdebstrap, chroot, mounts)" >&2; exit 1; }

if ! command -v mmdebstrap > /dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap > /dev/null
fi

# The sources apt uses here, and only those: every enabled .list or .sources file.
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -s "$file" ] && sources+=("$file")
done
[ ${#sources[@]} -gt 0 ] || { echo "pristine: apt has no sources" >&2; exit 1; }

# Mounts below the root stay in a private mount namespace, which goes however the script ends.
if [ "${PRISTINE_INSIDE:-}" != 1 ]; then
    export PRISTINE_INSIDE=1
    exec unshare --mount --propagation private bash "$0" "$deb" "$out"
fi

mkdir -p "$out"
root=$(mktemp -d /var/tmp/quillon-pristine.XXXXXX)
result=$out/result.txt
log=$out/log.txt
: > "$log"
cleanup() {
    local fs
    for fs in proc sys dev; do
        mountpoint -q "$root/$fs" && umount -R "$root/$fs"
    done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT

say() { echo "$*" | tee -a "$result"; }
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 "$@"; }
# Programs of the package run without any network but loopback.
offline() { unshare --net sh -c 'ip link set lo up 2> /dev/null; exec "$@"' sh "$@"; }
apt_in_root() { in_root env DEBIAN_FRONTEND=noninteractive apt-get -y -o Dpkg::Use-Pty=0 "$@" >> "$log" 2>&1; }
packages_in_root() { in_root dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}' | sort; }
kib_of_root() { du -sxk "$root" | cut -f1; }

: > "$result"
started=$(date +%s)
say "Pristine install of $(basename "$deb") ($(( $(stat -c %s "$deb") / 1024 )) KiB), $(date -u '+%Y-%m-%d %H:%M UTC')"
say "Sources: $(grep -hE '^(URIs:|deb) ' "${sources[@]}" | awk '{print $2}' | sort -u | paste -sd' ')"

echo "pristine: mmdebstrap into $root" >&2
mmdebstrap --variant=apt --architectures=amd64 bookworm "$root" "${sources[@]}" >> "$log" 2>&1
base_kib=$(kib_of_root)
packages_in_root > "$out/packages-base.txt"
say "Minimal Debian 12 root (mmdebstrap --variant=apt): $(wc -l < "$out/packages-base.txt") packages, $((base_kib / 1024)) MiB"

for fs in proc sys dev; do
    mount --rbind "/$fs" "$root/$fs"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"

echo "pristine: apt install" >&2
apt_in_root update
# As a user installs a downloaded package: apt resolves its Depends and Recommends.
in_root apt-get install -s "/tmp/$(basename "$deb")" > "$out/simulation.txt" 2>&1
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -o Dpkg::Use-Pty=0 "/tmp/$(basename "$deb")" > "$out/install.txt" 2>&1
cat "$out/install.txt" >> "$log"
packages_in_root > "$out/packages-installed.txt"
comm -13 "$out/packages-base.txt" "$out/packages-installed.txt" > "$out/packages-added.txt"
installed_kib=$(kib_of_root)
say "apt install ./$(basename "$deb"): $(grep -E '^Need to get' "$out/install.txt" | sed 's/ of archives\.//')," \
    "$(grep -oE '[0-9.,]+ [kMG]B of additional disk space' "$out/install.txt" | head -n 1) used;" \
    "$(wc -l < "$out/packages-added.txt") packages added (quillon and its dependencies)," \
    "root now $((installed_kib / 1024)) MiB"
say "quillon's own Installed-Size: $(in_root dpkg-query -W -f '${Installed-Size}' quillon) KiB," \
    "$(in_root dpkg -L quillon | while read -r path; do [ -f "$root$path" ] && echo; done | wc -l) files"
in_root dpkg -L quillon | sort > "$out/quillon-files.txt"

failures=0
check() {
    local what=$1
    shift
    if "$@" >> "$log" 2>&1; then
        say "ok:   $what"
    else
        say "FAIL: $what"
        failures=$((failures + 1))
    fi
}
version=$(offline chroot "$root" quillon --version 2>&1 || true)
check "quillon --version prints '$version'" grep -qE '^quillon [0-9]+\.[0-9]+\.[0-9]+$' <<< "$version"
offline chroot "$root" quillon-monitor --help > "$out/monitor-help.txt" 2>&1 || true
check "quillon-monitor --help prints its usage" grep -q '^Usage: quillon-monitor' "$out/monitor-help.txt"

# Reading the manual pages and showing the window need man-db and an X server, which a
# pristine system lacks; they come after the package, so they cannot have helped it install.
echo "pristine: man-db, Xvfb" >&2
apt_in_root install --no-install-recommends man-db xvfb x11-apps x11-utils
for page in quillon quillon-monitor; do
    in_root env MANWIDTH=80 man -P cat "$page" > "$out/man-$page.txt" 2>&1 || true
    check "man $page shows the page" grep -q "^NAME" "$out/man-$page.txt"
done

home=$root/home/user
mkdir -p "$home"
printf '127\n0\n0\n1\n' > "$home/config.ini"
cat > "$root/tmp/show-window.sh" << 'EOF'
#!/bin/sh
# Starts Xvfb and Quillon in /home/user, waits for the window, dumps the screen, stops both.
Xvfb :7 -screen 0 800x700x24 -nolisten tcp > /tmp/xvfb.log 2>&1 &
xvfb=$!
export DISPLAY=:7 XDG_RUNTIME_DIR=/tmp/runtime HOME=/home/user
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
for _ in $(seq 100); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
cd /home/user && quillon > /tmp/quillon.log 2>&1 &
quillon=$!
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2> /dev/null | awk '/"Quillon Beta/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
done
sleep 2
[ -n "$window" ] && xwd -id "$window" -silent > /tmp/screen.xwd
[ -n "$window" ] && xprop -id "$window" _NET_WM_ICON > /tmp/icon.txt 2>&1
kill "$quillon"; wait "$quillon"
kill "$xvfb"; wait "$xvfb"
[ -n "$window" ]
EOF
chmod +x "$root/tmp/show-window.sh"
check "the window opens under Xvfb (screenshot in $out/screenshot.png)" offline chroot "$root" /tmp/show-window.sh
convert "xwd:$root/tmp/screen.xwd" "$out/screenshot.png" >> "$log" 2>&1 || true
cp "$root/tmp/quillon.log" "$out/quillon.log" 2> /dev/null || true
check "the window has its 64 x 64 icon" grep -q 'Icon (64 x 64)' "$root/tmp/icon.txt"

echo "pristine: purge" >&2
apt_in_root purge quillon
status=$(in_root dpkg-query -W -f '${db:Status-Status}' quillon 2> /dev/null || true)
check "apt purge quillon: dpkg knows nothing of it (status '${status:-none}')" \
    test -z "$status" -o "$status" = not-installed
left=$(while read -r path; do
    [ "$path" = /. ] && continue
    [ -e "$root$path" ] || [ -L "$root$path" ] || continue
    # Folders shared with other packages (/usr/bin, /usr/share/man/man1, ...) rightly stay.
    if [ -d "$root$path" ] && [ ! -L "$root$path" ] && in_root dpkg -S "$path" > /dev/null 2>&1; then continue; fi
    echo "$path"
done < "$out/quillon-files.txt")
check "none of the package's $(wc -l < "$out/quillon-files.txt") paths is left (files and its own folders)" test -z "$left"
[ -z "$left" ] || say "left behind: $left"
# man-db's cache of formatted pages (var/cache/man) is man-db's, pruned by its own daily job.
stray=$(cd "$root" && find usr etc var -name '*quillon*' ! -path 'var/cache/man/*' 2> /dev/null || true)
check "no other path named *quillon* under /usr, /etc, /var" test -z "$stray"
[ -z "$stray" ] || say "found: $stray"
say "Took $(( $(date +%s) - started )) s; $failures failure(s)"
[ "$failures" = 0 ]
