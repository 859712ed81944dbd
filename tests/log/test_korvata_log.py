"""korvata-log as a user runs it: the real program against korvata-sim over
VXI-11 and the raw socket, and against the in-process simulated USB meter.
Every reading in the CSV must be one the meter sent (from the simulator's
command log), whole lines only, with the exit statuses that --help lists.

Usage: test_korvata_log.py KORVATA_LOG KORVATA_SIM [unittest arguments]
"""

import ctypes
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import test_processes  # noqa: E402
from korvata_ui import Sim, wait_for  # noqa: E402
from recorded_readings import meter_values, parse_recording as parse_csv, read_recording as read_csv  # noqa: E402,E501

LOG = sys.argv.pop(1)
SIM = sys.argv.pop(1)

# Short name -> (instrument function, the function column).
FUNCTIONS = {
    "dcv": ("VOLT", "DC Voltage"),
    "dci": ("CURR", "DC Current"),
    "acv": ("VOLT:AC", "AC Voltage"),
    "aci": ("CURR:AC", "AC Current"),
    "res": ("RES", "2 Wire Resistance"),
    "fres": ("FRES", "4 Wire Resistance"),
    "cap": ("CAP", "Capacitance"),
    "freq": ("FREQ", "Frequency"),
    "per": ("PER", "Period"),
    "cont": ("CONT", "Continuity"),
    "diode": ("DIOD", "Diode"),
    "temp": ("TEMP", "Temperature"),
}

EXIT_OUTPUT, EXIT_USAGE, EXIT_CONNECT, EXIT_LOST = 1, 2, 3, 4


def rows_in(path):
    """Whole rows written so far (0 before the file exists)."""
    try:
        with open(path, encoding="utf-8") as recording:
            return max(0, recording.read().count("\n") - 1)
    except FileNotFoundError:
        return 0


def stretch_at(values, part):
    """Where part lies in values as one unbroken stretch, or -1."""
    for start in range(len(values) - len(part) + 1):
        if values[start:start + len(part)] == part:
            return start
    return -1


class LogRun:
    """korvata-log started in its own process group, ended with the run."""

    def __init__(self, arguments, env=None, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                 prefix=()):
        environment = dict(os.environ)
        environment.pop("KORVATA_VISA_SIMULATE", None)
        environment.update(env or {})
        self.process = test_processes.start([*prefix, LOG, *arguments], env=environment,
                                            stdout=stdout, stderr=stderr)

    def finish(self, timeout=60):
        """(status, stdout, stderr) once it ends on its own."""
        out, err = self.process.communicate(timeout=timeout)
        test_processes.forget(self.process)
        return self.process.returncode, (out or b"").decode(), (err or b"").decode()

    def signal(self, signum):
        self.process.send_signal(signum)


class KorvataLog(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="korvata-log-test-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.directory, ignore_errors=True)

    def setUp(self):
        self.sims = []

    def tearDown(self):
        for sim in self.sims:
            sim.stop()

    def path(self, name):
        return os.path.join(self.directory, f"{self.id().rsplit('.', 1)[-1]}-{name}")

    def start_sim(self, name="meter.log", portmapper=0, socket=None):
        arguments = ("--socket", str(socket)) if socket else ()
        # korvata-sim takes --socket once; a later one overrides Sim's "0".
        sim = Sim(SIM, arguments, log=self.path(name), portmapper=portmapper)
        self.sims.append(sim)
        return sim

    def stop_sim(self, sim, kill=False):
        if kill:
            sim.process.kill()
        sim.stop()
        self.sims.remove(sim)

    @staticmethod
    def vxi11(sim):
        return (["TCPIP0::127.0.0.1::inst0::INSTR"],
                {"KORVATA_VISA_PORTMAPPER_PORT": str(sim.ports["portmapper"])})

    @staticmethod
    def socket(sim):
        return ([f"TCPIP0::127.0.0.1::{sim.ports['socket']}::SOCKET"], {})

    def assert_sent_by(self, sim, rows):
        """The values are an unbroken stretch of the readings the meter sent."""
        values = [row[3] for row in rows]
        self.assertGreaterEqual(stretch_at(meter_values(sim.log), values), 0,
                                "the recorded values are not what the meter sent")

    # ---- Each function, the count, the duration -------------------------

    def test_each_function_over_vxi11(self):
        sim = self.start_sim()
        resource, env = self.vxi11(sim)
        for name, (instrument, column) in FUNCTIONS.items():
            with self.subTest(function=name):
                status, out, err = LogRun(["-q", "-f", name, "-n", "3", *resource],
                                          env=env).finish()
                self.assertEqual((status, err), (0, ""))
                rows = parse_csv(out)
                self.assertEqual(len(rows), 3)
                self.assertEqual({row[2] for row in rows}, {column})
                chosen = [c for c in sim.commands() if c.startswith("FUNC ")][-1]
                self.assertTrue(chosen.startswith(f'FUNC "{instrument}'), chosen)
                self.assert_sent_by(sim, rows)

    def test_count_over_the_raw_socket_with_a_range_and_the_values_the_meter_sent(self):
        sim = self.start_sim()
        resource, env = self.socket(sim)
        output = self.path("volts.csv")
        status, out, err = LogRun(["-f", "dcv", "-r", "20v", "-n", "25", "-o", output,
                                   *resource], env=env).finish()
        self.assertEqual((status, out, err), (0, "", ""))
        rows = read_csv(output)
        self.assertEqual(len(rows), 25)
        self.assertEqual({row[5] for row in rows}, {"20V"})
        self.assertIn("VOLT:DC:RANGE 20", sim.commands())
        self.assert_sent_by(sim, rows)
        seconds = [float(row[1]) for row in rows]
        self.assertEqual(seconds, sorted(seconds))

    def test_duration_ends_the_run_on_its_own(self):
        sim = self.start_sim()
        resource, env = self.vxi11(sim)
        status, out, err = LogRun(["-f", "acv", "-d", "2s", *resource], env=env).finish()
        self.assertEqual((status, err), (0, ""))
        rows = parse_csv(out)
        self.assertGreater(len(rows), 3)
        # Readings are taken about ten a second: none may be much past 2 s.
        self.assertLessEqual(float(rows[-1][1]), 2.5)
        self.assertGreaterEqual(float(rows[-1][1]), 1.0)
        self.assert_sent_by(sim, rows)

    def test_the_in_process_simulated_usb_meter(self):
        # --list also searches the networks by broadcast: it runs in a
        # network of its own, with nothing but loopback, so that nothing is
        # sent beyond this machine (the search of a network with
        # instruments is tested with the VISA layer's).
        if subprocess.run(["unshare", "--net", "true"], check=False).returncode == 0:
            status, out, _ = LogRun(["--list"], env={"KORVATA_VISA_SIMULATE": "1"},
                                    prefix=["unshare", "--net"]).finish()
            self.assertEqual(status, 0)
            self.assertEqual(out.split(), ["USB0::0x1209::0x4B56::KVSIM0001::INSTR"])
        status, out, err = LogRun(["-f", "res", "-n", "4", "USB?*INSTR"],
                                  env={"KORVATA_VISA_SIMULATE": "1"}).finish()
        self.assertEqual((status, err), (0, ""))
        rows = parse_csv(out)
        self.assertEqual(len(rows), 4)
        self.assertEqual({row[2] for row in rows}, {"2 Wire Resistance"})
        # Follows the meter's own function when none is asked for.
        status, out, _ = LogRun(["-n", "2", "TCPIP0::anything::inst0::INSTR"],
                                env={"KORVATA_VISA_SIMULATE": "1"}).finish()
        self.assertEqual(status, 0)
        self.assertEqual({row[2] for row in parse_csv(out)}, {"DC Voltage"})

    def test_a_reply_an_earlier_session_left_unread_is_not_taken_for_an_answer(self):
        # A program that ended between a query and its answer leaves the
        # reply in the meter (which keeps one output queue for all its
        # links); the next session must not read it as the answer to its
        # own first query.
        sim = self.start_sim()
        resource, env = self.vxi11(sim)
        visa = ctypes.CDLL(os.environ["KVT_VISA_LIBRARY"])
        manager, session = ctypes.c_uint32(), ctypes.c_uint32()
        os.environ.update(env)
        try:
            self.assertEqual(visa.viOpenDefaultRM(ctypes.byref(manager)), 0)
            self.assertEqual(visa.viOpen(manager, resource[0].encode(), 0, 2000,
                                         ctypes.byref(session)), 0)
            written = ctypes.c_uint32()
            self.assertEqual(visa.viWrite(session, b"DATA:LAST?", 10, ctypes.byref(written)), 0)
            visa.viClose(manager)
        finally:
            for name in env:
                del os.environ[name]
        status, out, err = LogRun(["-q", "-n", "3", *resource], env=env).finish()
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(len(parse_csv(out)), 3)

    # ---- Stop signals ---------------------------------------------------

    def test_sigint_and_sigterm_leave_a_whole_file_and_status_0(self):
        sim = self.start_sim()
        for transport in (self.vxi11, self.socket):
            for signum in (signal.SIGINT, signal.SIGTERM):
                with self.subTest(transport=transport.__name__, signal=signum.name):
                    resource, env = transport(sim)
                    output = self.path(f"{transport.__name__}-{signum.name}.csv")
                    run = LogRun(["-o", output, *resource], env=env)
                    wait_for(lambda: rows_in(output) >= 12, 30, "readings in the file")
                    run.signal(signum)
                    status, out, err = run.finish()
                    self.assertEqual((status, out, err), (0, "", ""))
                    rows = read_csv(output)
                    self.assertGreaterEqual(len(rows), 12)
                    self.assert_sent_by(sim, rows)

    def test_sigterm_with_the_csv_on_standard_output(self):
        sim = self.start_sim()
        resource, env = self.socket(sim)
        run = LogRun(["-f", "freq", *resource], env=env)
        wait_for(lambda: meter_values(sim.log).__len__() >= 15, 30, "readings")
        run.signal(signal.SIGTERM)
        status, out, err = run.finish()
        self.assertEqual((status, err), (0, ""))
        rows = parse_csv(out)
        self.assertGreater(len(rows), 5)
        self.assert_sent_by(sim, rows)

    # ---- The meter goes away --------------------------------------------

    def test_logging_resumes_when_the_meter_comes_back(self):
        for transport in (self.vxi11, self.socket):
            with self.subTest(transport=transport.__name__):
                sim = self.start_sim(f"{transport.__name__}-first.log")
                portmapper, socket_port = sim.ports["portmapper"], sim.ports["socket"]
                resource, env = transport(sim)
                output = self.path(f"{transport.__name__}.csv")
                run = LogRun(["-v", "-f", "dcv", "-o", output, *resource], env=env)
                wait_for(lambda: rows_in(output) >= 8, 30, "readings before the meter goes")
                self.stop_sim(sim, kill=True)
                second = self.start_sim(f"{transport.__name__}-second.log",
                                        portmapper=portmapper, socket=socket_port)
                wait_for(lambda: len(meter_values(second.log)) >= 8, 60,
                         "readings from the meter that came back")
                written = rows_in(output)
                wait_for(lambda: rows_in(output) > written, 30, "those readings in the file")
                run.signal(signal.SIGINT)
                status, out, err = run.finish()
                self.assertEqual(status, 0, err)
                self.assertIn("stopped answering; reconnecting", err)
                self.assertIn("Reconnected to", err)
                rows = read_csv(output)
                values = [row[3] for row in rows]
                after = meter_values(second.log)
                # The last readings are the second meter's, in order, the
                # ones before are the first meter's.
                tail = next(n for n in range(len(values), 0, -1)
                            if stretch_at(after, values[len(values) - n:]) >= 0)
                self.assertGreaterEqual(tail, 1)
                self.assertGreaterEqual(stretch_at(meter_values(sim.log),
                                                   values[:len(values) - tail]), 0)
                self.assertGreaterEqual(len(values) - tail, 8)
                self.stop_sim(second)

    def test_no_reconnect_ends_with_status_4_and_a_whole_file(self):
        sim = self.start_sim()
        resource, env = self.vxi11(sim)
        output = self.path("lost.csv")
        run = LogRun(["--no-reconnect", "-o", output, *resource], env=env)
        wait_for(lambda: rows_in(output) >= 5, 30, "readings")
        self.stop_sim(sim, kill=True)
        status, out, err = run.finish()
        self.assertEqual(status, EXIT_LOST)
        self.assertEqual(out, "")
        self.assertRegex(err, r"^korvata-log: The meter at \S+ stopped answering\.\n$")
        self.assertGreaterEqual(len(read_csv(output)), 5)

    # ---- Wrong options and resources ------------------------------------

    def test_wrong_options_give_one_sentence_and_status_2(self):
        cases = [
            ([], "No resource given"),
            (["--bogus", "R"], 'Unknown option "--bogus"'),
            (["-f", "volts", "R"], 'Unknown function "volts"'),
            (["-f", "freq", "-r", "2V", "USB?*INSTR"], "has no ranges"),
            (["-f", "dcv", "-r", "7V", "USB?*INSTR"], 'No range "7V" for DC voltage'),
            (["-r", "2V", "R"], "--range needs --function"),
            (["-n", "0", "R"], "--count needs a whole number"),
            (["-d", "soon", "R"], "--duration needs a time"),
            (["-q", "-v", "R"], "cannot be used together"),
            (["A", "B"], "One resource only"),
            (["not a resource"], '"not a resource" is not a VISA resource'),
        ]
        for arguments, message in cases:
            with self.subTest(arguments=arguments):
                status, out, err = LogRun(arguments).finish()
                self.assertEqual(status, EXIT_USAGE)
                self.assertEqual(out, "")
                self.assertIn(message, err.splitlines()[0])
                self.assertTrue(err.startswith("korvata-log: "))

    def test_resources_that_cannot_be_opened_give_their_reason_and_status_3(self):
        closed = subprocess.run(  # a port that nothing listens on: bind, note, close
            [sys.executable, "-c",
             "import socket; s=socket.socket(); s.bind(('127.0.0.1',0)); "
             "print(s.getsockname()[1])"], capture_output=True, text=True, check=True)
        port = closed.stdout.strip()
        cases = [
            (["TCPIP0::127.0.0.1::inst0::INSTR"], {"KORVATA_VISA_PORTMAPPER_PORT": port},
             "Nothing answers as a VXI-11 instrument at 127.0.0.1"),
            ([f"TCPIP0::127.0.0.1::{port}::SOCKET"], {},
             "Nothing answers on the raw socket at 127.0.0.1"),
            (["USB0::0x1234::0x5678::NOSUCH::INSTR"], {}, "No USB instrument was found"),
        ]
        for arguments, env, message in cases:
            with self.subTest(resource=arguments[0]):
                output = self.path("never.csv")
                status, out, err = LogRun(["-o", output, *arguments], env=env).finish()
                self.assertEqual(status, EXIT_CONNECT, err)
                self.assertEqual(out, "")
                self.assertIn(message, err)
                self.assertEqual(len(err.strip().splitlines()), 1, err)
                self.assertFalse(os.path.exists(output))

    def test_an_output_that_cannot_be_created_gives_status_1(self):
        status, out, err = LogRun(["-n", "2", "-o", "/nonexistent/folder/x.csv", "USB?*INSTR"],
                                  env={"KORVATA_VISA_SIMULATE": "1"}).finish()
        self.assertEqual(status, EXIT_OUTPUT)
        self.assertIn("Could not create /nonexistent/folder/x.csv", err)

    # ---- The status line ------------------------------------------------

    def test_the_status_line_is_drawn_on_a_terminal_and_absent_in_a_pipe(self):
        sim = self.start_sim()
        resource, env = self.socket(sim)
        output = self.path("tty.csv")
        controller, terminal = pty.openpty()
        try:
            run = LogRun(["-o", output, *resource], env=env, stdout=subprocess.DEVNULL,
                         stderr=terminal)
            os.close(terminal)
            terminal = -1
            seen = b""

            def drawn():
                nonlocal seen
                try:
                    while select.select([controller], [], [], 0)[0]:
                        seen += os.read(controller, 4096)
                except OSError:
                    pass  # EIO: the program has ended and closed its side
                return re.search(rb"\r\x1b\[K([1-9][0-9]*) readings  [0-9.]+/s  last [-+0-9.]+ VDC  "
                                 rb"0:00:0[0-9]  [0-9.]+ (B|KiB)", seen)

            wait_for(drawn, 30, "a status line with readings")
            run.signal(signal.SIGINT)
            status, _, _ = run.finish()
            self.assertEqual(status, 0)
            drawn()
            # The end: the line cleared, then the summary on a line of its own.
            self.assertRegex(seen.decode(), r"\r\x1b\[Kkorvata-log: [0-9]+ readings in "
                                            r"0:00:[0-9]{2} to .*tty\.csv \([0-9.]+ (B|KiB)\)\.\r?\n$")
        finally:
            os.close(controller)
            if terminal >= 0:
                os.close(terminal)

        piped = self.path("pipe.csv")
        run = LogRun(["-o", piped, *resource], env=env)
        wait_for(lambda: rows_in(piped) >= 5, 30, "readings")
        run.signal(signal.SIGINT)
        status, out, err = run.finish()
        self.assertEqual((status, out, err), (0, "", ""))

    # ---- Help and the manual page ---------------------------------------

    def test_help_lists_every_option_and_exit_status_as_the_manual_does(self):
        status, out, err = LogRun(["--help"]).finish()
        self.assertEqual((status, err), (0, ""))
        options = set(re.findall(r"--[a-z][a-z-]+", out))
        self.assertGreaterEqual(len(options), 11)
        with open(os.path.join(HERE, "..", "..", "log", "korvata-log.1"), encoding="utf-8") as page:
            manual = page.read().replace("\\-", "-")
        for option in sorted(options):
            self.assertIn(option, manual)
        for code in range(5):
            self.assertRegex(out, rf"\n  {code}  ")
            self.assertRegex(manual, rf"\.TP\n\.B {code}\n")
        for name in FUNCTIONS:
            self.assertIn(name, out)
            self.assertIn(name, manual)


if __name__ == "__main__":
    unittest.main(verbosity=2)
