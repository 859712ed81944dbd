#!/usr/bin/python3
"""Finding instruments on a private network: network namespaces joined by
veth pairs to a bridge (in a namespace of its own, so that nothing touches
this host's own network), korvata-sim in some of them, one address where
nothing listens, and the search run from another namespace through our VISA
call (a C++ program) and through pyvisa with our library.

Usage: network_search_test.py FIND_PROGRAM LIBRARY KORVATA_SIM
Needs root (to make namespaces); exits with 77 (skipped) when namespaces
cannot be made.
"""
import json
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import private_network  # noqa: E402

FIND, LIBRARY, SIM = sys.argv[1], sys.argv[2], sys.argv[3]
del sys.argv[1:]

SKIPPED = 77
BOUND_MS = 1500  # the search's promise: the complete list within 1.5 s
SUBNET = private_network.SUBNET
INSTRUMENTS = {"sim1": 21, "sim2": 22, "sim3": 23}  # korvata-sim, portmapper on 111
OTHER_PORT = {"alt": (24, 1111)}  # korvata-sim, portmapper on another port
SILENT = {"silent": 30}  # an address where nothing listens
SEARCHER = ("search", 10)
LOOPBACK_ONLY = "loonly"  # a namespace with nothing but its loopback

PYVISA_SCRIPT = r"""
import json, sys, warnings
warnings.simplefilter("ignore")
import pyvisa
rm = pyvisa.ResourceManager(sys.argv[1])
found = {"default": list(rm.list_resources()), "tcpip": list(rm.list_resources("TCPIP?*INSTR"))}
inst = rm.open_resource(found["tcpip"][0], read_termination="\n", write_termination="\n")
found["idn"] = inst.query("*IDN?")
inst.close()
print(json.dumps(found))
"""


NETWORK = private_network.PrivateNetwork()


def build_network():
    NETWORK.create_bridge()
    NETWORK.add_host(*SEARCHER)
    for name, host in {**INSTRUMENTS, **SILENT}.items():
        NETWORK.add_host(name, host)
    for name, (host, _) in OTHER_PORT.items():
        NETWORK.add_host(name, host)
    NETWORK.add_loopback_only(LOOPBACK_ONLY)


def in_namespace(name, command, env=None):
    environment = dict(os.environ)
    environment.pop("KORVATA_VISA_PORTMAPPER_PORT", None)
    environment.update(env or {})
    return subprocess.run(["ip", "netns", "exec", NETWORK.namespace(name), *command],
                          capture_output=True, text=True, timeout=60, env=environment)


def find(name, expression, env=None):
    """(names found, milliseconds the viFindRsrc call took)."""
    result = in_namespace(name, [FIND, expression], env)
    if result.returncode != 0:
        raise AssertionError("%s failed: %s" % (FIND, result.stderr))
    lines = result.stdout.split("\n")
    elapsed = [int(line.split()[1]) for line in lines if line.startswith("elapsed-ms ")]
    return [line for line in lines if line and not line.startswith("elapsed-ms ")], elapsed[0]


def resource(host):
    return "TCPIP0::%s%d::inst0::INSTR" % (SUBNET, host)


def tcpip_only(names):
    return [n for n in names if n.upper().startswith("TCPIP")]


class NetworkSearchTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build_network()
        for name in INSTRUMENTS:
            NETWORK.start_sim(SIM, name, 111)
        for name, (_, port) in OTHER_PORT.items():
            NETWORK.start_sim(SIM, name, port)
        NETWORK.start_sim(SIM, LOOPBACK_ONLY, 1111)

    def test_finds_exactly_the_instruments_that_answer_within_the_bound(self):
        expected = [resource(host) for host in sorted(INSTRUMENTS.values())]
        for expression in ("TCPIP?*INSTR", "?*INSTR"):
            names, elapsed = find(SEARCHER[0], expression)
            self.assertEqual(tcpip_only(names), expected, expression)
            self.assertLessEqual(elapsed, BOUND_MS, expression)
        names, _ = find(SEARCHER[0], "TCPIP0::%s22::?*" % SUBNET)
        self.assertEqual(names, [resource(22)])
        names, _ = find(SEARCHER[0], "TCPIP?*SOCKET")
        self.assertEqual(names, [])

    def test_another_portmapper_port_is_asked_when_set(self):
        setting = {"KORVATA_VISA_PORTMAPPER_PORT": str(OTHER_PORT["alt"][1])}
        names, _ = find(SEARCHER[0], "TCPIP?*INSTR", setting)
        self.assertEqual(names, [resource(OTHER_PORT["alt"][0])])
        # Where the only network is the loopback, the instrument there.
        names, elapsed = find(LOOPBACK_ONLY, "TCPIP?*INSTR", setting)
        self.assertEqual(names, ["TCPIP0::127.0.0.1::inst0::INSTR"])
        self.assertLessEqual(elapsed, BOUND_MS)
        names, _ = find(LOOPBACK_ONLY, "TCPIP?*INSTR")
        self.assertEqual(names, [])

    def test_pyvisa_lists_and_opens_what_the_search_finds(self):
        result = in_namespace(SEARCHER[0], ["/usr/bin/python3", "-c", PYVISA_SCRIPT, LIBRARY])
        self.assertEqual(result.returncode, 0, result.stderr)
        found = json.loads(result.stdout)
        expected = [resource(host) for host in sorted(INSTRUMENTS.values())]
        self.assertEqual(tcpip_only(found["default"]), expected)
        self.assertEqual(found["tcpip"], expected)
        self.assertIn("KORVATA", found["idn"].upper())


def main():
    private_network.remove_stale()
    reason = NETWORK.why_unavailable()
    if reason:
        print("SKIP: network namespaces cannot be made here (%s)" % reason)
        return SKIPPED
    NETWORK.remove_on_signal()
    try:
        program = unittest.main(exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        NETWORK.remove()


if __name__ == "__main__":
    sys.exit(main())
