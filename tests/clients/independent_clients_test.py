#!/usr/bin/python3
"""Independent VISA/LXI clients against korvata-sim: lxi-tools' `lxi scpi`
and pyvisa with the pyvisa-py backend, over VXI-11 (found through the
system portmapper) and over the raw socket.

Usage: independent_clients_test.py KORVATA_SIM_BINARY
"""
import os
import socket
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import test_processes  # noqa: E402
from sim_ready import ports, read_until_ready  # noqa: E402

SIM = None
IDENTITY_PREFIX = "KORVATA,"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SimProcess:
    """korvata-sim in the background, started and waited for until it says
    "ready" on stdout (bounded by a deadline), stopped with SIGTERM (and
    ended with the run in any case)."""

    def __init__(self, *args):
        self.log = tempfile.NamedTemporaryFile(prefix="korvata-sim-", suffix=".log", delete=False)
        self.log.close()
        self.process = test_processes.start(
            [SIM, *args, "--log", self.log.name],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            read_until_ready(self.process)
        except RuntimeError:
            self.stop()
            raise

    def stop(self):
        code = test_processes.stop(self.process)
        self.process.stdout.close()
        return code

    def log_lines(self):
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\n") for line in f]


class IndependentClients(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.socket_port = free_port()
        cls.sim = SimProcess("--vxi11", "--socket", str(cls.socket_port))

    @classmethod
    def tearDownClass(cls):
        code = cls.sim.stop()
        os.unlink(cls.sim.log.name)
        if code != 0:
            raise AssertionError("korvata-sim ended with %s after SIGTERM" % code)

    def lxi(self, *args):
        result = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-t", "5", *args],
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.strip()

    def test_lxi_over_vxi11(self):
        self.assertTrue(self.lxi("*IDN?").startswith(IDENTITY_PREFIX))
        self.assertEqual(self.lxi("ECHO? lxi over vxi11"), "lxi over vxi11")

    def test_lxi_over_raw_socket(self):
        out = self.lxi("-r", "-p", str(self.socket_port), "*IDN?")
        self.assertTrue(out.startswith(IDENTITY_PREFIX), out)

    def test_pyvisa_py(self):
        import pyvisa
        rm = pyvisa.ResourceManager("@py")
        try:
            for name in ("TCPIP0::127.0.0.1::inst0::INSTR",
                         "TCPIP0::127.0.0.1::%d::SOCKET" % self.socket_port):
                inst = rm.open_resource(name, read_termination="\n", write_termination="\n",
                                        timeout=5000)
                try:
                    self.assertTrue(inst.query("*IDN?").startswith(IDENTITY_PREFIX), name)
                    long_text = "x" * 3000
                    self.assertEqual(inst.query("ECHO? " + long_text), long_text, name)
                    inst.write("*CLS")
                    inst.write("NOT:A:COMMAND")
                    self.assertTrue(inst.query("SYST:ERR?").startswith("-113"), name)
                    self.assertTrue(inst.query("SYST:ERR?").startswith("+0"), name)
                finally:
                    inst.close()
        finally:
            rm.close()
        log = self.sim.log_lines()
        self.assertTrue(any("NOT:A:COMMAND" in line for line in log), log[-10:])


if __name__ == "__main__":
    SIM = sys.argv.pop(1)
    unittest.main(verbosity=2)
