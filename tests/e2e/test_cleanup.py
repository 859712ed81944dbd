"""The end-to-end runner leaves nothing running, however it ends.

Runs one case of test_end_to_end.py with a fault planted midway (see
korvata_ui.planted_fault): the case fails while korvata starts, or once it
has connected; the runner is terminated (SIGTERM); the runner is killed
(SIGKILL, as ctest ends a test that overran its timeout). Each run gets a mark of its own in the
environment of everything it starts; while the fault holds, Xvfb,
korvata-sim and korvata (and the program's D-Bus daemon, where dbus-daemon
is installed) must carry it, and once the runner has ended no process may.

Usage: test_cleanup.py KORVATA KORVATA_SIM SKIN ARTIFACTS_DIR
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import korvata_ui as ui  # noqa: E402
import test_processes  # noqa: E402

ARGUMENTS = sys.argv[1:5]
del sys.argv[1:5]
RUNNER = os.path.join(HERE, "test_end_to_end.py")
CASE = "EndToEnd.test_a_bench_session_over_vxi11"


def names(processes):
    """The program names among {pid: command line}."""
    return {os.path.basename(command.split()[0]) for command in processes.values() if command}


class RunnerLeavesNothing(unittest.TestCase):
    def run_with_fault(self, fault, end_with=None):
        """Runs the case with the fault; once the fault is reached, checks
        the marked processes, then ends the runner with end_with (a signal)
        or lets the failing case finish. Returns the runner's status and
        output."""
        mark = f"cleanup-check-{uuid.uuid4().hex}"
        folder = tempfile.mkdtemp(prefix="korvata-cleanup-")
        note = os.path.join(folder, "fault-reached")
        output = os.path.join(folder, "runner.log")
        environment = dict(os.environ, KORVATA_E2E_FAULT=fault, KORVATA_E2E_FAULT_NOTE=note)
        environment[test_processes.RUN_MARK] = mark
        with open(output, "wb") as log:
            # Not through test_processes: this runner carries the mark under
            # test, not this check's.
            runner = subprocess.Popen([sys.executable, RUNNER, *ARGUMENTS, CASE],
                                      env=environment, stdout=log, stderr=subprocess.STDOUT)
        try:
            ui.wait_for(lambda: os.path.exists(note) or runner.poll() is not None, 180,
                        "the planted fault")
            self.assertTrue(os.path.exists(note), self.read(output))
            running = names(test_processes.marked_processes(mark))
            expected = {"Xvfb", "korvata-sim", "korvata"}
            if shutil.which("dbus-daemon"):
                expected.add("dbus-daemon")
            self.assertLessEqual(expected, running, self.read(output))
            if end_with is None:
                os.unlink(note)  # the case may go on and fail
            else:
                runner.send_signal(end_with)
            status = runner.wait(120)
            if end_with == signal.SIGKILL:
                # The kernel ends them as the runner dies; give it a moment.
                try:
                    ui.wait_for(lambda: not test_processes.marked_processes(mark), 10,
                                "the runner's processes to end")
                except TimeoutError:
                    pass
            # Otherwise the runner ended them before it ended: none may remain.
            left = test_processes.marked_processes(mark)
            self.assertEqual(left, {}, self.read(output))
            return status, self.read(output)
        finally:
            if runner.poll() is None:
                runner.kill()
                runner.wait()
            test_processes.end_marked(mark)
            shutil.rmtree(folder, ignore_errors=True)

    @staticmethod
    def read(path):
        with open(path, encoding="utf-8", errors="replace") as log:
            return log.read()[-4000:]

    def test_a_case_failing_while_the_program_starts(self):
        status, output = self.run_with_fault("raise:started")
        self.assertNotEqual(status, 0)
        self.assertIn("planted fault: raise when started", output)

    def test_a_case_failing_when_connected(self):
        status, output = self.run_with_fault("raise:connected")
        self.assertNotEqual(status, 0)
        self.assertIn("planted fault: raise when connected", output)

    def test_a_terminated_runner(self):
        status, _ = self.run_with_fault("hang:connected", signal.SIGTERM)
        self.assertEqual(status, -signal.SIGTERM)

    def test_a_killed_runner(self):
        status, _ = self.run_with_fault("hang:connected", signal.SIGKILL)
        self.assertEqual(status, -signal.SIGKILL)


if __name__ == "__main__":
    unittest.main(verbosity=2)
