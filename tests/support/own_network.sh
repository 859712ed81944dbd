#!/bin/sh
# Runs a command in a network of its own that holds only loopback (up), so
# that the instrument search of the program under test, which broadcasts on
# every network it sees, never sends beyond this machine.
# Usage: own_network.sh COMMAND [ARGUMENTS...]
set -e
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' own-network "$@"
fi
exec unshare --user --map-root-user --net -- sh -c 'ip link set lo up && exec "$@"' own-network "$@"
