#!/usr/bin/env bash
# Starts Quillon as a screen reader's user has it (scripts/with-accessibility.sh, config.ini for
# 127.0.0.1) and prints what AT-SPI shows of its window: one line per control, role and spoken
# name, then counts. Needs a built program; installs python3-pyatspi when it is missing.
# Usage: a11y-tree.sh [PROGRAM]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$repo/build/x86_64/src/quillon}")
if ! dpkg -s python3-pyatspi > /dev/null 2>&1; then
    sudo_cmd=()
    [ "$(id -u)" = 0 ] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends python3-pyatspi
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '127\r\n0\r\n0\r\n1\r\n' > "$work/config.ini"
cd "$work"
bash "$repo/scripts/with-accessibility.sh" bash -c '
    "$0" > quillon.log 2>&1 &
    /usr/bin/python3 - << "PYTHON"
import time, pyatspi
from collections import Counter
def find():
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            if app and app.name.lower() == "quillon" and app.childCount:
                return app
        time.sleep(0.1)
    raise SystemExit("quillon did not appear on the accessibility bus")
def walk(node, found):
    for child in node:
        role = child.getRoleName()
        if role in ("slider", "text", "check box", "push button"):
            found.append((role, child.name))
        walk(child, found)
found = []
walk(find(), found)
for role, name in found:
    print(f"{role:12} {name}")
roles = Counter(role for role, _ in found)
for role, count in sorted(roles.items()):
    names = [name for r, name in found if r == role]
    unnamed = sum(1 for name in names if not name)
    print(f"{count} {role} controls, {len(set(names))} distinct names, {unnamed} without a name")
PYTHON
    kill %1' "$program"
