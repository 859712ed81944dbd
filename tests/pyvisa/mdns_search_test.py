#!/usr/bin/python3
"""Finding instruments by multicast DNS on a private network (the network
search's namespaces, see tests/support/private_network.py), each host with
an Avahi daemon and a D-Bus of its own, so that nothing is multicast on
this machine's own network:

  search  10.77.0.10  Avahi; where the search runs from
  plain   10.77.0.21  korvata-sim --vxi11, portmapper on 111, no Avahi:
                      found by the portmapper broadcast alone
  raw     10.77.0.25  Avahi; korvata-sim --announce serving the raw socket
                      only: no portmapper answers, so only multicast DNS
                      finds it (a SOCKET name the broadcast never gives)
  vxi     10.77.0.26  Avahi; korvata-sim --vxi11 --announce, portmapper on
                      1111, which the broadcast (to 111) does not reach
  mute    10.77.0.27  a D-Bus without Avahi; korvata-sim --vxi11 --announce
                      there warns and serves on (found by the broadcast)
  silent  10.77.0.30  nothing listens

The search runs through our VISA call (a C++ program) and through pyvisa
with our library.

Usage: mdns_search_test.py FIND_PROGRAM LIBRARY KORVATA_SIM
Needs root; exits with 77 (skipped) when namespaces cannot be made or the
Avahi or D-Bus daemon is not installed.
"""
import json
import os
import select
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import private_network  # noqa: E402
from sim_ready import ports, read_until_line  # noqa: E402

FIND, LIBRARY, SIM = sys.argv[1], sys.argv[2], sys.argv[3]
del sys.argv[1:]

SKIPPED = 77
BOUND_MS = 1500  # the search's promise: the complete list within 1.5 s
SUBNET = private_network.SUBNET
HOSTS = {"search": 10, "plain": 21, "raw": 25, "vxi": 26, "mute": 27, "silent": 30}
NO_BUS = "unix:path=/nonexistent/kvt-no-bus"

PYVISA_SCRIPT = r"""
import json, sys, warnings
warnings.simplefilter("ignore")
import pyvisa
rm = pyvisa.ResourceManager(sys.argv[1])
found = {"default": list(rm.list_resources()),
         "sockets": list(rm.list_resources("TCPIP?*SOCKET"))}
inst = rm.open_resource(sys.argv[2], read_termination="\n", write_termination="\n")
found["idn"] = inst.query("*IDN?")
inst.close()
print(json.dumps(found))
"""

NETWORK = private_network.PrivateNetwork()
BUSES = {}  # host: the system bus address its programs are given
ANNOUNCED = {}  # host: the service name its simulator announced
SOCKET_PORTS = {}  # host: its simulator's raw socket port
MUTE_WARNING = []


def instrument(host):
    return "TCPIP0::%s%d::inst0::INSTR" % (SUBNET, HOSTS[host])


def socket(host):
    return "TCPIP0::%s%d::%d::SOCKET" % (SUBNET, HOSTS[host], SOCKET_PORTS[host])


def build_network():
    NETWORK.create_bridge()
    for name, host in HOSTS.items():
        NETWORK.add_host(name, host)
    for name in ("search", "raw", "vxi"):
        BUSES[name] = NETWORK.start_avahi(name)
    BUSES["mute"] = NETWORK.start_bus("mute")
    NETWORK.start_sim(SIM, "plain", 111)
    announcing = {
        "raw": NETWORK.start_sim(SIM, "raw", None, ["--announce"], BUSES["raw"]),
        "vxi": NETWORK.start_sim(SIM, "vxi", 1111, ["--announce"], BUSES["vxi"]),
    }
    for name, process in announcing.items():
        SOCKET_PORTS[name] = ports(process.ready_lines)["socket"]
        lines = [l for l in process.ready_lines if l.startswith("announced: ")]
        line = lines[0] if lines else read_until_line(process, "announced: ", timeout=20)
        ANNOUNCED[name] = line[len("announced: "):]
    mute = NETWORK.start_sim(SIM, "mute", 111, ["--announce"], BUSES["mute"],
                             stderr=subprocess.PIPE)
    MUTE_WARNING.append(read_error_line(mute))
    MUTE_WARNING.append(mute)


def read_error_line(process, timeout=10):
    """The first line the process writes on stderr, waited for with a timeout."""
    fd = process.stderr.fileno()
    deadline = time.monotonic() + timeout
    text = b""
    while b"\n" not in text and time.monotonic() < deadline:
        readable, _, _ = select.select([fd], [], [], max(0, deadline - time.monotonic()))
        chunk = os.read(fd, 4096) if readable else b""
        if readable and not chunk:
            break
        text += chunk
    return text.decode()


def in_namespace(name, command, bus):
    environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus)
    environment.pop("KORVATA_VISA_PORTMAPPER_PORT", None)
    return subprocess.run(["ip", "netns", "exec", NETWORK.namespace(name), *command],
                          capture_output=True, text=True, timeout=60, env=environment)


def find(expression, bus):
    """(TCPIP names found, milliseconds the viFindRsrc call took, stderr)."""
    result = in_namespace("search", [FIND, expression], bus)
    if result.returncode != 0:
        raise AssertionError("%s failed: %s" % (FIND, result.stderr))
    lines = [line for line in result.stdout.split("\n") if line]
    elapsed = [int(line.split()[1]) for line in lines if line.startswith("elapsed-ms ")]
    names = [n for n in lines if n.upper().startswith("TCPIP")]
    return names, elapsed[0], result.stderr


class MdnsSearchTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build_network()

    def test_announced_instruments_are_found_beside_the_broadcasts(self):
        expected = [instrument("plain"), socket("raw"), instrument("vxi"), socket("vxi"),
                    instrument("mute")]
        names, elapsed, errors = find("?*", BUSES["search"])
        self.assertEqual(names, expected)
        self.assertLessEqual(elapsed, BOUND_MS)
        self.assertEqual(errors, "")
        # VXI-11 names only: the broadcast's and the announced one.
        names, elapsed, _ = find("TCPIP?*INSTR", BUSES["search"])
        self.assertEqual(names, [instrument("plain"), instrument("vxi"), instrument("mute")])
        self.assertLessEqual(elapsed, BOUND_MS)
        # Raw sockets are searched for too, and only they are listed.
        names, elapsed, _ = find("TCPIP?*SOCKET", BUSES["search"])
        self.assertEqual(names, [socket("raw"), socket("vxi")])
        self.assertLessEqual(elapsed, BOUND_MS)

    def test_simulators_announce_under_names_of_their_own(self):
        self.assertTrue(ANNOUNCED["raw"].startswith("Korvata simulated meter (KVSIM0001)"))
        self.assertTrue(ANNOUNCED["vxi"].startswith("Korvata simulated meter (KVSIM0001)"))
        # Both started with the same name; one of them took the next.
        self.assertNotEqual(ANNOUNCED["raw"], ANNOUNCED["vxi"])

    def test_without_avahi_the_broadcast_alone_and_not_a_word(self):
        broadcast_only = [instrument("plain"), instrument("mute")]
        # No bus at all, and a bus where no Avahi daemon runs.
        for bus in (NO_BUS, BUSES["mute"]):
            names, elapsed, errors = find("?*", bus)
            self.assertEqual(names, broadcast_only, bus)
            self.assertLessEqual(elapsed, BOUND_MS, bus)
            self.assertEqual(errors, "", bus)
            names, _, errors = find("TCPIP?*SOCKET", bus)
            self.assertEqual(names, [], bus)
            self.assertEqual(errors, "", bus)

    def test_a_simulator_without_avahi_warns_once_and_serves_on(self):
        warning, process = MUTE_WARNING
        self.assertTrue(warning.startswith("korvata-sim: --announce: "), warning)
        self.assertIn("Avahi", warning)
        # Serving on: still running, and the broadcast finds it.
        self.assertIsNone(process.poll())
        names, _, _ = find("TCPIP?*INSTR", NO_BUS)
        self.assertIn(instrument("mute"), names)
        self.assertEqual(warning.count("\n"), 1, warning)

    def test_pyvisa_lists_and_opens_what_multicast_dns_finds(self):
        result = in_namespace("search", ["/usr/bin/python3", "-c", PYVISA_SCRIPT, LIBRARY,
                                         socket("raw")], BUSES["search"])
        self.assertEqual(result.returncode, 0, result.stderr)
        found = json.loads(result.stdout)
        # pyvisa's default expression ("?*::INSTR") lists VXI-11 names only.
        self.assertIn(instrument("vxi"), found["default"])
        self.assertNotIn(socket("raw"), found["default"])
        self.assertEqual(found["sockets"], [socket("raw"), socket("vxi")])
        self.assertIn("KORVATA", found["idn"].upper())


def main():
    private_network.remove_stale()
    reason = NETWORK.why_unavailable() or NETWORK.why_no_mdns()
    if reason:
        print("SKIP: the private network with Avahi cannot be made here (%s)" % reason)
        return SKIPPED
    NETWORK.remove_on_signal()
    try:
        program = unittest.main(exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        NETWORK.remove()


if __name__ == "__main__":
    sys.exit(main())
