#!/usr/bin/env bash
# Starts the system services the tests talk to: the portmapper (rpcbind),
# with which the simulated meter registers its VXI-11 channel.
set -euo pipefail
if ! pgrep -x rpcbind >/dev/null; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo mkdir -p /run/rpcbind
    $sudo rpcbind -w || $sudo rpcbind
fi
