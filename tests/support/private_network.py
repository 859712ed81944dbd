"""A private IPv4 network made of network namespaces, for tests and figures
that need a network other than this host's own: one namespace holds a
bridge, every host is a namespace of its own joined to it by a veth pair
(its eth0), and a host may run korvata-sim. Only 10.77.0.0/24 addresses
are used, all inside the namespaces; nothing touches this host's network.

A host may also run an Avahi daemon of its own for multicast DNS, on a
D-Bus of its own (a system bus in all but name, that only this host's
programs are pointed to), with its pid file and socket on a tmpfs that only
it sees: nothing of the machine's own D-Bus or Avahi is used or touched.

Namespaces are named after the process that made them, so that those a
killed run left behind can be found and removed by the next one.
"""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import test_processes
from sim_ready import read_until_ready

PREFIX = "kvdisc"
SUBNET = "10.77.0."

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
"""

# IPv4 only, on the host's link only, announcing nothing of the host itself.
AVAHI_CONFIG = """[server]
host-name=%s
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=yes
ratelimit-interval-usec=1000000
ratelimit-burst=1000
[wide-area]
enable-wide-area=no
[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation=no
publish-domain=no
[reflector]
enable-reflector=no
[rlimits]
"""

# The daemon keeps its pid file and socket in /run/avahi-daemon: a tmpfs
# over /run in a mount namespace of its own gives each daemon its own.
AVAHI_START = ("mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon && "
               "exec avahi-daemon --no-drop-root --no-chroot --no-rlimits --no-proc-title -f %s")


def wait_for_text(path, text, what, timeout=15):
    """Polls the file until it holds `text`; its content then."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            with open(path, encoding="utf-8", errors="replace") as file:
                content = file.read()
        except OSError:
            content = ""
        if text in content:
            return content
        if time.monotonic() >= deadline:
            raise RuntimeError("%s did not start: %r" % (what, content[-2000:]))
        time.sleep(0.02)


def ip(*arguments, check=True):
    return subprocess.run(["ip", *arguments], capture_output=True, text=True, check=check,
                          timeout=30)


def remove_stale():
    """Namespaces of earlier runs whose process is gone."""
    for line in ip("netns", "list", check=False).stdout.split("\n"):
        match = re.match(re.escape(PREFIX) + r"(\d+)-", line)
        if match and not os.path.exists("/proc/" + match.group(1)):
            ip("netns", "del", line.split(" ")[0], check=False)
    for entry in os.listdir(tempfile.gettempdir()):
        match = re.match(re.escape(PREFIX) + r"(\d+)-", entry)
        if match and not os.path.exists("/proc/" + match.group(1)):
            shutil.rmtree(os.path.join(tempfile.gettempdir(), entry), ignore_errors=True)


class PrivateNetwork:
    def __init__(self):
        self.run = "%s%d-" % (PREFIX, os.getpid())
        self.hosts = 0
        self.files = None  # a folder for buses, configurations and logs

    def folder(self):
        if self.files is None:
            self.files = tempfile.mkdtemp(prefix=self.run)
        return self.files

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

    @staticmethod
    def why_no_mdns():
        """None when Avahi and D-Bus daemons can be run, else the reason."""
        missing = [p for p in ("avahi-daemon", "dbus-daemon", "unshare") if not shutil.which(p)]
        return "missing: " + " ".join(missing) if missing else None

    def start_bus(self, name):
        """A D-Bus daemon of host `name`'s own; returns its address."""
        folder = self.folder()
        config = os.path.join(folder, name + "-bus.conf")
        with open(config, "w", encoding="utf-8") as file:
            file.write(BUS_CONFIG % os.path.join(folder, name + "-bus"))
        address_file = os.path.join(folder, name + "-bus.address")
        with open(address_file, "w", encoding="utf-8") as address:
            test_processes.start(["dbus-daemon",
                                  "--config-file=" + config, "--nofork", "--print-address=1"],
                                 stdout=address, stderr=subprocess.DEVNULL)
        return wait_for_text(address_file, "\n", "dbus-daemon").strip()

    def start_avahi(self, name):
        """An Avahi daemon in host `name`, on a bus of its own; returns the
        bus address, for DBUS_SYSTEM_BUS_ADDRESS, once the daemon runs."""
        bus = self.start_bus(name)
        folder = self.folder()
        config = os.path.join(folder, name + "-avahi.conf")
        with open(config, "w", encoding="utf-8") as file:
            file.write(AVAHI_CONFIG % ("kvt-" + name))
        log = os.path.join(folder, name + "-avahi.log")
        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus)
        with open(log, "w", encoding="utf-8") as output:
            test_processes.start(["ip", "netns", "exec", self.namespace(name), "unshare",
                                  "--mount", "sh", "-c", AVAHI_START % config],
                                 env=environment, stdout=output, stderr=subprocess.STDOUT)
        wait_for_text(log, "Server startup complete", "avahi-daemon in " + name)
        return bus

    def start_sim(self, sim, name, portmapper_port=None, arguments=(), bus=None,
                  stderr=subprocess.DEVNULL):
        """korvata-sim in namespace `name`: serving VXI-11 with its
        portmapper on the given port (None: the raw socket alone, on 5025),
        with further arguments, and `bus` as its system bus (for
        --announce); returns once it is ready, its lines up to "ready" in
        the process's ready_lines."""
        command = ["ip", "netns", "exec", self.namespace(name), sim]
        if portmapper_port is None:
            command += ["--socket", "5025"]
        else:
            command += ["--vxi11", "--portmapper", str(portmapper_port), "--socket", "0"]
        environment = dict(os.environ)
        if bus is not None:
            environment["DBUS_SYSTEM_BUS_ADDRESS"] = bus
        process = test_processes.start(command + list(arguments), env=environment,
                                       stdout=subprocess.PIPE, stderr=stderr)
        process.ready_lines = read_until_ready(process)
        return process

    def remove(self):
        """Ends every process started here, then removes the namespaces."""
        test_processes.end_all()
        for line in ip("netns", "list", check=False).stdout.split("\n"):
            name = line.split(" ")[0]
            if name.startswith(self.run):
                ip("netns", "del", name, check=False)
        if self.files is not None:
            shutil.rmtree(self.files, ignore_errors=True)
            self.files = None
