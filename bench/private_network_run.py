#!/usr/bin/python3
"""Runs a command beside instruments on a private network (the one the
network search's test makes): korvata-sim in three namespaces on
10.77.0.21-23, a silent address 10.77.0.30, and the namespace to search
from (10.77.0.10), whose name replaces every "{ns}" in the command. The
network is removed when the command ends. Needs root.

With --mdns every host but the silent one runs an Avahi daemon on a D-Bus
of its own, the simulators announce themselves (korvata-sim --announce),
and "{bus}" in the command is replaced by the searching host's bus address
(for DBUS_SYSTEM_BUS_ADDRESS).

Usage: private_network_run.py [--mdns] KORVATA_SIM -- COMMAND [ARG...]
For example, the time to the complete list beside lxi-tools:
    private_network_run.py build/sim/korvata-sim -- \\
        ip netns exec {ns} build/tests/visa_find_resources 'TCPIP?*INSTR'
    private_network_run.py build/sim/korvata-sim -- ip netns exec {ns} lxi discover
    private_network_run.py --mdns build/sim/korvata-sim -- ip netns exec {ns} \\
        env DBUS_SYSTEM_BUS_ADDRESS={bus} build/tests/visa_find_resources '?*'
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
import private_network  # noqa: E402
from sim_ready import read_until_line  # noqa: E402


def main():
    arguments = sys.argv[1:]
    mdns = bool(arguments) and arguments[0] == "--mdns"
    if mdns:
        arguments = arguments[1:]
    if len(arguments) < 3 or arguments[1] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    sim, command = arguments[0], arguments[2:]
    private_network.remove_stale()
    network = private_network.PrivateNetwork()
    reason = network.why_unavailable() or (network.why_no_mdns() if mdns else None)
    if reason:
        print("the private network cannot be made here (%s)" % reason, file=sys.stderr)
        return 1
    network.remove_on_signal()
    try:
        network.create_bridge()
        network.add_host("search", 10)
        network.add_host("silent", 30)
        bus = network.start_avahi("search") if mdns else ""
        for index, host in enumerate((21, 22, 23)):
            name = "sim%d" % index
            network.add_host(name, host)
            if mdns:
                process = network.start_sim(sim, name, 111, ["--announce"],
                                            network.start_avahi(name))
                if not any(l.startswith("announced: ") for l in process.ready_lines):
                    read_until_line(process, "announced: ", timeout=20)
            else:
                network.start_sim(sim, name, 111)
        ns = network.namespace("search")
        return subprocess.run([part.replace("{ns}", ns).replace("{bus}", bus)
                               for part in command]).returncode
    finally:
        network.remove()


if __name__ == "__main__":
    sys.exit(main())
