"""A private IPv4 network made of network namespaces, for tests and figures
that need a network other than this host's own: one namespace holds a
bridge, every host is a namespace of its own joined to it by a veth pair
(its eth0), and a host may run korvata-sim. Only 10.77.0.0/24 addresses
are used, all inside the namespaces; nothing touches this host's network.

Namespaces are named after the process that made them, so that those a
killed run left behind can be found and removed by the next one.
"""
import os
import re
import signal
import subprocess

import test_processes
from sim_ready import read_until_ready

PREFIX = "kvdisc"
SUBNET = "10.77.0."


def ip(*arguments, check=True):
    return subprocess.run(["ip", *arguments], capture_output=True, text=True, check=check,
                          timeout=30)


def remove_stale():
    """Namespaces of earlier runs whose process is gone."""
    for line in ip("netns", "list", check=False).stdout.split("\n"):
        match = re.match(re.escape(PREFIX) + r"(\d+)-", line)
        if match and not os.path.exists("/proc/" + match.group(1)):
            ip("netns", "del", line.split(" ")[0], check=False)


class PrivateNetwork:
    def __init__(self):
        self.run = "%s%d-" % (PREFIX, os.getpid())
        self.hosts = 0

    def namespace(self, name):
        return self.run + name

    def why_unavailable(self):
        """None when namespaces can be made here, else the reason."""
        if os.geteuid() != 0:
            return "not root"
        probe = self.namespace("probe")
        result = ip("netns", "add", probe, check=False)
        ip("netns", "del", probe, check=False)
        return None if result.returncode == 0 else result.stderr.strip()

    def remove_on_signal(self):
        """SIGTERM or SIGHUP (ctest's timeout) ends the processes and
        removes the namespaces before the runner ends."""
        test_processes._install_handlers()

        def handler(signum, _frame):
            self.remove()
            signal.signal(signum, signal.SIG_DFL)
            os.kill(os.getpid(), signum)

        for signum in (signal.SIGTERM, signal.SIGHUP):
            signal.signal(signum, handler)

    def create_bridge(self):
        bridge = self.namespace("bridge")
        ip("netns", "add", bridge)
        ip("-n", bridge, "link", "add", "br0", "type", "bridge")
        ip("-n", bridge, "link", "set", "br0", "up")

    def add_host(self, name, host):
        """Namespace `name` with address 10.77.0.<host>/24 on the bridge."""
        bridge, ns, veth = self.namespace("bridge"), self.namespace(name), "v%d" % self.hosts
        self.hosts += 1
        ip("netns", "add", ns)
        ip("-n", bridge, "link", "add", veth, "type", "veth", "peer", "name", "eth0", "netns", ns)
        ip("-n", bridge, "link", "set", veth, "master", "br0", "up")
        ip("-n", ns, "addr", "add", "%s%d/24" % (SUBNET, host), "brd", "+", "dev", "eth0")
        ip("-n", ns, "link", "set", "eth0", "up")
        ip("-n", ns, "link", "set", "lo", "up")

    def add_loopback_only(self, name):
        ip("netns", "add", self.namespace(name))
        ip("-n", self.namespace(name), "link", "set", "lo", "up")

    def start_sim(self, sim, name, portmapper_port):
        """korvata-sim serving VXI-11 in namespace `name`, its portmapper on
        the given port; returns once it is ready."""
        process = test_processes.start(
            ["ip", "netns", "exec", self.namespace(name), sim, "--vxi11", "--portmapper",
             str(portmapper_port), "--socket", "0"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        read_until_ready(process)
        return process

    def remove(self):
        """Ends every process started here, then removes the namespaces."""
        test_processes.end_all()
        for line in ip("netns", "list", check=False).stdout.split("\n"):
            name = line.split(" ")[0]
            if name.startswith(self.run):
                ip("netns", "del", name, check=False)
