#!/usr/bin/env bash
# Runs a command in a network namespace of its own, nested in the caller's (the suite's
# loopback-only one), with loopback and two virtual networks, 192.0.2.1/24 and 198.51.100.1/24,
# each with its broadcast address, and a default route over the first so that 255.255.255.255 can
# be sent. Linux loops broadcasts back to local listeners; nothing leaves the namespace. A normal
# user makes it in a user namespace of its own, as root there. The command finds the first
# network's address in QUILLON_OWN_ADDRESS and its broadcast address in QUILLON_OWN_BROADCAST.
#   broadcast-net.sh COMMAND [ARGUMENT...]
set -euo pipefail

if [ "${QUILLON_BROADCAST_NET-}" != inside ]; then
    export QUILLON_BROADCAST_NET=inside
    if [ "$(id -u)" = 0 ]; then
        exec unshare --net bash "$0" "$@"
    fi
    exec unshare --user --map-root-user --net bash "$0" "$@"
fi

ip link set lo up
networks=(192.0.2.1/24 198.51.100.1/24)
for i in "${!networks[@]}"; do
    # Some kernels refuse dummy interfaces; one end of a veth pair serves as well.
    if ! ip link add "net$i" type dummy 2> /dev/null; then
        ip link add "net$i" type veth peer name "peer$i"
        ip link set "peer$i" up
    fi
    ip address add "${networks[$i]}" broadcast + dev "net$i"
    ip link set "net$i" up
done
ip route add default dev net0
export QUILLON_OWN_ADDRESS=192.0.2.1 QUILLON_OWN_BROADCAST=192.0.2.255
exec "$@"
