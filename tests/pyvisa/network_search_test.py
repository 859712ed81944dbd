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
import re
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import test_processes  # noqa: E402
from sim_ready import read_until_ready  # noqa: E402

FIND, LIBRARY, SIM = sys.argv[1], sys.argv[2], sys.argv[3]
del sys.argv[1:]

SKIPPED = 77
BOUND_MS = 1500  # the search's promise: the complete list within 1.5 s
PREFIX = "kvdisc"
RUN = "%s%d-" % (PREFIX, os.getpid())
SUBNET = "10.77.0."
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


def ip(*arguments, check=True):
    return subprocess.run(["ip", *arguments], capture_output=True, text=True, check=check,
                          timeout=30)


def namespace(name):
    return RUN + name


def remove_namespaces(run_prefix):
    listed = ip("netns", "list", check=False).stdout.split("\n")
    for line in listed:
        name = line.split(" ")[0]
        if name.startswith(run_prefix):
            ip("netns", "del", name, check=False)


def remove_stale_namespaces():
    """Namespaces a killed earlier run left behind (its process is gone)."""
    for line in ip("netns", "list", check=False).stdout.split("\n"):
        match = re.match(re.escape(PREFIX) + r"(\d+)-", line)
        if match and not os.path.exists("/proc/" + match.group(1)):
            ip("netns", "del", line.split(" ")[0], check=False)


def end_everything():
    test_processes.end_all()
    remove_namespaces(RUN)


def on_signal(signum, _frame):
    end_everything()
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


def can_make_namespaces():
    if os.geteuid() != 0:
        return "not root"
    probe = namespace("probe")
    result = ip("netns", "add", probe, check=False)
    ip("netns", "del", probe, check=False)
    return None if result.returncode == 0 else result.stderr.strip()


def build_network():
    """The bridge's namespace, and one namespace per host with a veth pair
    from its eth0 to the bridge. Only 10.77.0.0/24 addresses, all inside."""
    bridge = namespace("bridge")
    ip("netns", "add", bridge)
    ip("-n", bridge, "link", "add", "br0", "type", "bridge")
    ip("-n", bridge, "link", "set", "br0", "up")
    hosts = {SEARCHER[0]: SEARCHER[1], **INSTRUMENTS, **SILENT,
             **{name: host for name, (host, _) in OTHER_PORT.items()}}
    for index, (name, host) in enumerate(hosts.items()):
        ns = namespace(name)
        ip("netns", "add", ns)
        ip("-n", bridge, "link", "add", "v%d" % index, "type", "veth", "peer", "name", "eth0",
           "netns", ns)
        ip("-n", bridge, "link", "set", "v%d" % index, "master", "br0", "up")
        ip("-n", ns, "addr", "add", "%s%d/24" % (SUBNET, host), "brd", "+", "dev", "eth0")
        ip("-n", ns, "link", "set", "eth0", "up")
        ip("-n", ns, "link", "set", "lo", "up")
    ip("netns", "add", namespace(LOOPBACK_ONLY))
    ip("-n", namespace(LOOPBACK_ONLY), "link", "set", "lo", "up")


def start_sim(name, portmapper_port):
    process = test_processes.start(
        ["ip", "netns", "exec", namespace(name), SIM, "--vxi11", "--portmapper",
         str(portmapper_port), "--socket", "0"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    read_until_ready(process)
    return process


def in_namespace(name, command, env=None):
    environment = dict(os.environ)
    environment.pop("KORVATA_VISA_PORTMAPPER_PORT", None)
    environment.update(env or {})
    return subprocess.run(["ip", "netns", "exec", namespace(name), *command], capture_output=True,
                          text=True, timeout=60, env=environment)


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
            start_sim(name, 111)
        for name, (_, port) in OTHER_PORT.items():
            start_sim(name, port)
        start_sim(LOOPBACK_ONLY, 1111)

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
    remove_stale_namespaces()
    reason = can_make_namespaces()
    if reason:
        print("SKIP: network namespaces cannot be made here (%s)" % reason)
        return SKIPPED
    test_processes._install_handlers()
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, on_signal)
    try:
        program = unittest.main(exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        end_everything()


if __name__ == "__main__":
    sys.exit(main())
