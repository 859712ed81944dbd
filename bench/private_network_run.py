#!/usr/bin/python3
"""Runs a command beside instruments on a private network (the one the
network search's test makes): korvata-sim in three namespaces on
10.77.0.21-23, a silent address 10.77.0.30, and the namespace to search
from (10.77.0.10), whose name replaces every "{ns}" in the command. The
network is removed when the command ends. Needs root.

Usage: private_network_run.py KORVATA_SIM -- COMMAND [ARG...]
For example, the time to the complete list beside lxi-tools:
    private_network_run.py build/sim/korvata-sim -- \\
        ip netns exec {ns} build/tests/visa_find_resources 'TCPIP?*INSTR'
    private_network_run.py build/sim/korvata-sim -- ip netns exec {ns} lxi discover
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
import private_network  # noqa: E402


def main():
    if len(sys.argv) < 4 or sys.argv[2] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    sim, command = sys.argv[1], sys.argv[3:]
    private_network.remove_stale()
    network = private_network.PrivateNetwork()
    reason = network.why_unavailable()
    if reason:
        print("network namespaces cannot be made here (%s)" % reason, file=sys.stderr)
        return 1
    network.remove_on_signal()
    try:
        network.create_bridge()
        network.add_host("search", 10)
        network.add_host("silent", 30)
        for index, host in enumerate((21, 22, 23)):
            network.add_host("sim%d" % index, host)
            network.start_sim(sim, "sim%d" % index, 111)
        ns = network.namespace("search")
        return subprocess.run([part.replace("{ns}", ns) for part in command]).returncode
    finally:
        network.remove()


if __name__ == "__main__":
    sys.exit(main())
