"""Recording every reading while the meter comes and goes: the real korvata
program against korvata-sim over VXI-11 under Xvfb, driven with real input.

Usage: test_recording.py KORVATA KORVATA_SIM SKIN ARTIFACTS_DIR [unittest arguments]
"""

import datetime
import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import korvata_ui as ui  # noqa: E402
import test_end_to_end as e2e  # noqa: E402  (takes the four arguments)
from recorded_readings import meter_values, read_recording  # noqa: E402

LOGGING_MENU = 3  # Control, Acquire, SaveData, Logging, Help


def start_recording(s, path):
    """Logging > Record...: the file dialog, the path typed, Return; waits
    until the title says it records."""
    app = s.app
    app.choose(LOGGING_MENU, 0)
    app.wait_window("^Record Readings To$")
    app.type(path)
    app.key("Return")
    app.wait_gone("^Record Readings To$")
    return app.wait_window("^Korvata - Recording ")


class Recording(unittest.TestCase):
    def setUp(self):
        self.session = None

    def tearDown(self):
        if self.session:
            self.session.close()

    def assert_times_never_go_back(self, rows):
        moments = [datetime.datetime.fromisoformat(row[0]) for row in rows]
        seconds = [float(row[1]) for row in rows]
        for earlier, later in zip(moments, moments[1:]):
            self.assertLessEqual(earlier, later)
        for earlier, later in zip(seconds, seconds[1:]):
            self.assertLessEqual(earlier, later)

    def test_every_reading_through_a_function_change_and_a_meter_restart(self):
        s = self.session = e2e.Session("record")
        app = s.app
        s.connect_vxi11()
        s.wait_commands(lambda c: c.count("DATA:LAST?") >= 3, "readings over VXI-11")
        path = os.path.join(s.directory, "drift.csv")
        start_recording(s, path)
        s.wait_commands(lambda c: c.count("DATA:LAST?") >= 10, "readings while recording")
        app.click_key("btnACV")
        s.wait_commands(lambda c: 'FUNC "VOLT:AC"' in c, "the AC voltage function")
        s.wait_commands(lambda c: c[-1] == "DATA:LAST?" and
                        c[c.index('FUNC "VOLT:AC"'):].count("DATA:LAST?") >= 5,
                        "readings of AC voltage")
        s.shot("recording")

        # The meter dies; the window says it is trying to bring it back.
        first_log = s.sim.log
        port = s.sim.ports["portmapper"]
        s.sim.process.kill()
        s.sim.stop()
        app.wait_window("^Error$", timeout=20)
        s.shot("meter-gone")
        # It comes back on the same port; readings go on, into the same file.
        s.sim = ui.Sim(e2e.SIM, (), log=os.path.join(s.directory, "meter2.log"), portmapper=port)
        returned = time.monotonic()
        s.wait_commands(lambda c: "DATA:LAST?" in c, "a reading after the restart", timeout=60)
        first_reading = time.monotonic() - returned
        s.wait_commands(lambda c: c.count("DATA:LAST?") >= 5, "readings after the restart")
        s.shot("meter-back")
        print(f"figure: meter back -> first reading {first_reading:.2f} s", file=sys.stderr)
        # The box of the first failure is the only one.
        self.assertEqual(len(app.xdotool("search", "--onlyvisible", "--name", "^Error$").split()),
                         1)
        box = app._find_window("^Error$")
        app.xdotool("windowfocus", "--sync", box)
        app.key("Return")
        app.wait_gone("^Error$")

        # Stop Recording: the first item the keyboard reaches while
        # "Record..." is greyed out.
        app.choose(LOGGING_MENU, 0)
        app.wait_window("^Korvata$")
        self.assertEqual(app.quit(), 0)

        rows = read_recording(path)
        recorded = [row[3] for row in rows]
        before, after = meter_values(first_log), meter_values(s.sim.log)
        # Every reading the meter sent while up, in order: a stretch of the
        # first meter's (from the start of the recording to its end, less
        # perhaps the reply it sent as it was killed) and the start of the
        # second's (up to the stop).
        split = len(recorded) - next(
            (n for n in range(len(recorded), -1, -1) if recorded[len(recorded) - n:] ==
             after[:n]), 0)
        self.assertGreaterEqual(len(recorded) - split, 5, "readings after the restart")
        head = recorded[:split]
        self.assertGreater(len(head), 10)
        start = len(before) - len(head) - (0 if before[-len(head):] == head else 1)
        self.assertEqual(head, before[start:start + len(head)])
        self.assertGreaterEqual(start + len(head), len(before) - 1)
        # The function column follows the meter: DC, AC, and DC again, as
        # the restarted meter starts in DC voltage.
        functions = [row[2] for row in rows]
        changes = [functions[0]] + [b for a, b in zip(functions, functions[1:]) if a != b]
        self.assertEqual(changes, ["DC Voltage", "AC Voltage", "DC Voltage"])
        self.assert_times_never_go_back(rows)
        self.assertTrue(all(row[4] == "V" for row in rows))

    def test_a_killed_program_leaves_a_whole_file(self):
        s = self.session = e2e.Session("record-kill")
        app = s.app
        s.connect_vxi11()
        path = os.path.join(s.directory, "killed.csv")
        start_recording(s, path)
        s.wait_commands(lambda c: c.count("DATA:LAST?") >= 15, "readings while recording")
        app.process.send_signal(signal.SIGKILL)
        killed = datetime.datetime.now().astimezone()
        app.process.wait(10)
        rows = read_recording(path)
        self.assertGreater(len(rows), 0)
        # At most about the last second is missing (written once a second).
        last = datetime.datetime.fromisoformat(rows[-1][0])
        self.assertLess((killed - last).total_seconds(), 2.0)
        values = meter_values(s.sim.log)
        recorded = [row[3] for row in rows]
        self.assertTrue(any(values[i:i + len(recorded)] == recorded
                            for i in range(len(values) - len(recorded) + 1)))
        self.assert_times_never_go_back(rows)


if __name__ == "__main__":
    unittest.main(verbosity=2)
