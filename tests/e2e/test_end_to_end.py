"""The real korvata program against korvata-sim over VXI-11, driven under
Xvfb with real input events as a user would drive it.

Usage: test_end_to_end.py KORVATA KORVATA_SIM SKIN ARTIFACTS_DIR [unittest arguments]
Screenshots of each step are written to ARTIFACTS_DIR. Whatever a test
started (Xvfb, korvata-sim, korvata and its D-Bus daemon) is ended when the
test ends, pass or fail, and when the runner ends or is ended.

For the check of that cleanup, KORVATA_E2E_FAULT plants a fault (see
korvata_ui.planted_fault).
"""

import os
import re
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import korvata_ui as ui  # noqa: E402

PROGRAM, SIM, SKIN, ARTIFACTS = sys.argv[1:5]
del sys.argv[1:5]

# A saved reading: fixed-point with twelve decimals and a comma, overloads
# (9.9e37) written in full.
READING_LINE = re.compile(r"^-?\d+\.\d{12},$")


class Session:
    """Xvfb, korvata-sim and korvata for one test."""

    def __init__(self, name, sim_arguments=()):
        self.name = name
        self.directory = tempfile.mkdtemp(prefix=f"korvata-e2e-{name}-")
        self.shots = 0
        self.display = self.sim = self.app = None
        try:
            self.display = ui.Xvfb()
            self.sim = ui.Sim(SIM, sim_arguments, log=os.path.join(self.directory, "meter.log"))
            self.app = ui.Korvata(PROGRAM, self.display.name, {
                "KORVATA_VISA_PORTMAPPER_PORT": str(self.sim.ports["portmapper"]),
            }, skin=SKIN)
        except Exception:
            self.close()
            raise

    def shot(self, step):
        self.shots += 1
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, f"{self.name}-{self.shots:02d}-{step}.png")
        self.app.screenshot(path)
        return path

    def close(self):
        # Every part is ended even when ending another one failed.
        failure = None
        for part in (self.app and self.app.kill, self.sim and self.sim.stop,
                     self.display and self.display.close):
            if part:
                try:
                    part()
                except Exception as error:  # noqa: BLE001 - reported below
                    failure = failure or error
        if failure:
            raise failure

    # What a user does ---------------------------------------------------------
    def connect_vxi11(self, address="127.0.0.1"):
        self.app.choose(0, 0)  # Control > Connect
        self.app.wait_window("^Dialog$")
        if self.app.remembered != address:
            self.app.key("Down")  # from "USBTMC" to "VXI11"
            self.app.key("Tab")   # into the address's first field
            self.app.type(address)
        # else the dialog opens on the last connection, VXI11 at that address
        self.app.key("Return")
        self.app.wait_gone("^Dialog$", timeout=15)
        self.app.remembered = address
        ui.planted_fault("connected")

    def disconnect(self):
        self.app.choose(0, 1)  # Control > Disconnect

    def reading_image(self):
        """The main reading's area of the panel, as shown now."""
        x, y, width, height = self.app.skin.rects["ContainerMain"]
        ox, oy = self.app.panel_origin
        return self.app.window_image().crop((ox + x, oy + y, ox + x + width, oy + y + height))

    def wait_commands(self, predicate, what, timeout=15):
        try:
            return ui.wait_for(lambda: predicate(self.sim.commands()), timeout, what)
        except TimeoutError as error:
            # Say what the meter got last and what the screen showed, so a
            # failure far away (in CI) can be understood from its log.
            shot = self.shot("timed-out")
            raise TimeoutError(f"{error}; the meter's last commands: "
                               f"{self.sim.commands()[-8:]}; panel origin "
                               f"{self.app.panel_origin}; screenshot {shot}; "
                               f"korvata's errors: {self.app.errors()[-2000:]!r}") from None


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.session = None

    def tearDown(self):
        if self.session:
            self.session.close()

    def test_a_bench_session_over_vxi11(self):
        s = self.session = Session("session")
        app = s.app
        s.shot("started")
        self.assertEqual(s.sim.commands(), [], "nothing is sent before Connect")

        # Connect: the start-up sequence reaches the meter, readings arrive.
        s.connect_vxi11()
        s.wait_commands(lambda c: c.count("DATA:LAST?") >= 3, "readings over VXI-11")
        commands = s.sim.commands()
        self.assertEqual(commands[:4], ["FUNCTION?", "TRIG:COUN INF", "INIT", 'FUNC "VOLT:DC"'])
        first = s.reading_image()
        ui.wait_for(lambda: s.reading_image().tobytes() != first.tobytes(), 15,
                    "the reading on the display to change")
        s.shot("connected")

        # Function keys: AC voltage, then DC current with "2nd".
        app.click_key("btnACV")
        s.wait_commands(lambda c: 'FUNC "VOLT:AC"' in c, "the AC voltage function")
        app.click_key("btn2nd")
        app.click_key("btnDCV")
        s.wait_commands(lambda c: 'FUNC "CURR:DC"' in c, "the DC current function")
        s.wait_commands(lambda c: c[-1] == "DATA:LAST?", "readings of DC current")
        s.shot("dc-current")

        # Each view, chosen in the selector, draws.
        for index, view in enumerate(["Math", "BarMeter", "TrendChart", "Histongrom"]):
            app.click_view(index)
            if view == "TrendChart":
                s.wait_commands(lambda c: "CALCulate:TRENd:CHARt:DATA?" in c, "trend data")
            if view == "Histongrom":
                s.wait_commands(lambda c: "CALCulate:TRANsform:HISTogram:ALL?" in c,
                                "histogram data")
            s.shot(f"view-{view}")

        # Acquire > Delay: Manual, 250 mS; Acquire > Samples/Trigger: 10.
        app.choose(1, 0)
        app.wait_window("^Delay$")
        app.key("Down")  # "Manual"
        app.key("Tab")
        app.type("250")
        app.key("Tab")
        app.type("m")    # the unit list jumps to "mS"
        s.shot("delay-dialog")
        app.key("Return")
        app.wait_gone("^Delay$")
        s.wait_commands(lambda c: "TRIG:DEL 0.250" in c, "the delay command")
        app.choose(1, 1)
        app.wait_window("^Samples/Trigger$")
        app.type("10")
        app.key("Return")
        app.wait_gone("^Samples/Trigger$")
        s.wait_commands(lambda c: "SAMP:COUN 10" in c, "the sample-count command")

        # SaveData: the file holds one reading per line.
        saved = os.path.join(s.directory, "readings.csv")
        before = set(app.pid_windows())
        app.click_menu_bar(2)
        ui.wait_for(lambda: app.pid_windows() - before, 10, "the save dialog")
        app.type(saved)
        app.key("Return")
        ui.wait_for(lambda: os.path.exists(saved), 15, "the saved file")
        with open(saved, encoding="ascii") as readings:
            lines = readings.read().splitlines()
        self.assertGreater(len(lines), 0)
        for line in lines:
            self.assertRegex(line, READING_LINE)

        # Disconnect: "$$SY_FP 13" is the last command; quitting sends nothing more.
        s.disconnect()
        s.wait_commands(lambda c: c[-1] == "$$SY_FP 13", "the disconnect key code")
        sent = len(s.sim.commands())
        s.shot("disconnected")
        self.assertEqual(app.quit(), 0)
        self.assertEqual(len(s.sim.commands()), sent)
        self.assertNotIn("QObject", app.errors())

    def test_a_meter_that_goes_silent(self):
        s = self.session = Session("silent", ["--fault", "silent-after=40"])
        app = s.app
        s.connect_vxi11()
        box = app.wait_window("^Error$", timeout=20)
        s.shot("failure-box")
        # One box, however long the meter stays silent.
        self.assertEqual(len(app.xdotool("search", "--onlyvisible", "--name", "^Error$").split()),
                         1)
        app.xdotool("windowfocus", "--sync", box)
        app.key("Return")
        app.wait_gone("^Error$")
        self.assertTrue(app.alive())
        s.disconnect()
        # The meter is restarted (at the same portmapper port) and the user
        # connects again: readings arrive.
        port = s.sim.ports["portmapper"]
        s.sim.stop()
        s.sim = ui.Sim(SIM, (), log=os.path.join(s.directory, "meter2.log"), portmapper=port)
        s.connect_vxi11()
        s.wait_commands(lambda c: c.count("DATA:LAST?") >= 3, "readings after reconnecting")
        self.assertIsNone(app._find_window("^Error$"))
        s.shot("reconnected")
        self.assertEqual(app.quit(), 0)

    def save_only_readings_the_meter_sent(self, s):
        """SaveData through the menu and the save dialog; the file holds
        readings only, each one the meter sent."""
        app = s.app
        saved = os.path.join(s.directory, "readings.csv")
        before = app.pid_windows()
        app.click_menu_bar(2)
        ui.wait_for(lambda: app.pid_windows() - before, 20, "the save dialog")
        app.type(saved)
        app.key("Return")
        ui.wait_for(lambda: os.path.exists(saved), 20, "the saved file")
        sent = set(meter_readings(s.sim.log))
        with open(saved, encoding="ascii") as readings:
            lines = readings.read().splitlines()
        self.assertGreater(len(lines), 0)
        for line in lines:
            self.assertRegex(line, READING_LINE)
            self.assertIn(line[:-1], sent)

    def test_faulty_meters_never_crash_hang_or_save_a_wrong_value(self):
        # A dropped connection, garbled, oversized and slow replies: the
        # program stays up, and every saved reading is one the meter sent.
        for fault in ["drop-after=40", "garbage-every=9", "oversize=1000", "delay=150"]:
            with self.subTest(fault=fault):
                name = "fault-" + fault.split("=")[0]
                s = self.session = Session(name, ["--fault", fault])
                app = s.app
                s.connect_vxi11()
                ui.wait_for(lambda: app._find_window("^Error$") or
                            s.sim.commands().count("DATA:LAST?") >= 12, 60,
                            "readings or the failure message")
                s.shot("running")
                box = app._find_window("^Error$")
                if box:
                    app.xdotool("windowfocus", "--sync", box)
                    app.key("Return")
                    app.wait_gone("^Error$")
                self.assertTrue(app.alive())
                self.save_only_readings_the_meter_sent(s)
                self.assertEqual(app.quit(), 0)
                s.close()
                self.session = None


    def test_meters_that_bend_vxi11_work_as_any_other(self):
        # Each way real instruments bend VXI-11, alone and all at once: no
        # failure message, and every saved reading is one the meter sent.
        quirks = ["max-recv-1024", "max-recv-128", "pieces-40", "pieces-40-bare",
                  "ignore-termchar", "late-end", "empty-reads", "fragments",
                  "no-lock-wait", "one-link", "all"]
        for quirk in quirks:
            with self.subTest(quirk=quirk):
                s = self.session = Session("quirk-" + quirk, ["--quirk", quirk])
                app = s.app
                s.connect_vxi11()
                ui.wait_for(lambda: app._find_window("^Error$") or
                            s.sim.commands().count("DATA:LAST?") >= 8, 60,
                            "readings or the failure message")
                self.assertIsNone(app._find_window("^Error$"))
                self.save_only_readings_the_meter_sent(s)
                self.assertIsNone(app._find_window("^Error$"))
                self.assertEqual(app.quit(), 0)
                s.close()
                self.session = None


def meter_readings(log_path):
    """The readings the meter sent in well-formed replies to "DATA:LAST?",
    written as the saved file writes them (twelve decimals; overloads as
    the overload value)."""
    readings = []
    for _, value in ui.reading_replies(log_path):
        if abs(value) >= 9.9e37:
            value = 9.9e37 if value > 0 else -9.9e37
        readings.append(f"{value:.12f}")
    return readings


if __name__ == "__main__":
    unittest.main(verbosity=2)
