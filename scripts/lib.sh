# Shared by the scripts, sourced: a network namespace with nothing but loopback, the guard that
# refuses to go on outside one, and a private X server.

# Runs the command in a fresh network namespace whose only interface is loopback, brought up. As
# root the command runs as root; a normal user gets a user namespace of its own to make the
# network namespace in, and the command then runs as that user with no capabilities at all, so
# a file its mode forbids stays forbidden.
loopback_only() {
    if [ "$(id -u)" = 0 ]; then
        unshare --net bash -c 'ip link set lo up && exec "$@"' bash "$@"
    else
        unshare --user --map-current-user --keep-caps --net bash -c \
            'ip link set lo up && exec setpriv --inh-caps=-all --ambient-caps=-all --bounding-set=-all "$@"' bash "$@"
    fi
}

# Runs the shell command given when the script exits, after those registered before it.
exit_actions=()
on_exit() {
    exit_actions+=("$1")
    trap 'for action in "${exit_actions[@]}"; do eval "$action"; done' EXIT
}

# Stops the script unless loopback is the only network interface here.
require_loopback_only() {
    if ip -o link show | grep -qv ': lo:'; then
        echo "$(basename "$0"): refusing to run outside a loopback-only network namespace" >&2
        exit 1
    fi
}

# Starts Xvfb on a free display (1024x768x24, no TCP) and exports DISPLAY; the server ends with
# the script. Its output goes to the file given, or nowhere.
start_xvfb() {
    local log=${1:-/dev/null} ready
    ready=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$ready" > "$log" 2>&1 &
    xvfb_pid=$!
    on_exit 'kill "$xvfb_pid" 2> /dev/null; wait "$xvfb_pid" 2> /dev/null'
    for _ in $(seq 100); do
        [ -s "$ready" ] && break
        sleep 0.1
    done
    if [ ! -s "$ready" ]; then
        echo "$(basename "$0"): Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=:$(head -n 1 "$ready")
    rm -f "$ready"
}
