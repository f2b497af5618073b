#!/bin/sh
# Usage: in-broadcast-net.sh ADDRESS/PREFIX COMMAND...
# Runs COMMAND in a network namespace of its own (in a user namespace of its own, so that root and
# others alike may set it up): loopback, and one virtual interface with ADDRESS, its broadcast
# address and the default route, so that broadcasts to 255.255.255.255 and to the interface's
# broadcast address come back to listeners here and nothing leaves the machine. COMMAND finds the
# address in QUILLON_OWN_ADDRESS and the broadcast address in QUILLON_OWN_BROADCAST. Some kernels
# refuse a dummy interface; a veth pair does as well.
exec unshare --user --map-root-user --net sh -ec '
    ip link set lo up
    ip link add q0 type dummy 2> /dev/null || { ip link add q0 type veth peer name q1 && ip link set q1 up; }
    ip address add "$0" broadcast + dev q0 && ip link set q0 up && ip route add default dev q0
    export QUILLON_OWN_ADDRESS="${0%/*}" QUILLON_OWN_BROADCAST="$(ip -o -4 address show dev q0 | sed "s/.* brd \([0-9.]*\) .*/\1/")"
    exec "$@"' "$@"
