"""Finding the meter from the connection dialog, and the dialog remembering
it: the real korvata program on a private network of namespaces (nothing
of it touches this host's own network), with two korvata-sim instances on
their own addresses and one address where nothing listens, driven under
Xvfb with real input.

Usage: test_discovery.py KORVATA KORVATA_SIM SKIN ARTIFACTS_DIR [unittest arguments]
Needs root (to make namespaces); exits with 77 (skipped) when namespaces
cannot be made.
"""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import korvata_ui as ui  # noqa: E402
import private_network  # noqa: E402

PROGRAM, SIM, SKIN, ARTIFACTS = sys.argv[1:5]
del sys.argv[1:5]

SKIPPED = 77
BENCH = ("bench", 10)  # where the program runs
METERS = {"meter1": 21, "meter2": 22}  # korvata-sim, portmapper on 111
SILENT = ("silent", 30)  # an address where nothing listens

NETWORK = private_network.PrivateNetwork()


def address(host):
    return private_network.SUBNET + str(host)


class DiscoveryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="korvata-discovery-")
        cls.bench = ["ip", "netns", "exec", NETWORK.namespace(BENCH[0])]
        NETWORK.create_bridge()
        NETWORK.add_host(*BENCH)
        NETWORK.add_host(*SILENT)
        cls.meters = {}
        for name, host in METERS.items():
            NETWORK.add_host(name, host)
            cls.meters[name] = ui.Sim(SIM, log=os.path.join(cls.work, name + ".log"),
                                      portmapper=111,
                                      prefix=["ip", "netns", "exec", NETWORK.namespace(name)])
        # The display runs beside this test, so that the X clients here
        # (xdotool, screenshots) and the program reach the same server; the
        # program, in another namespace, reaches it through its socket file.
        cls.display = ui.Xvfb(file_socket=True)

    @classmethod
    def tearDownClass(cls):
        NETWORK.remove()
        shutil.rmtree(cls.work, ignore_errors=True)

    def start(self, config):
        return ui.Korvata(PROGRAM, self.display.name, {"XDG_CONFIG_HOME": config},
                          skin=SKIN, prefix=self.bench)

    def shot(self, app, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, "discovery-" + name + ".png")
        app.screenshot(path)
        return path

    def asked_identity(self, name):
        # The log shows a line feed the command ended with as "\\n".
        return sum(1 for c in self.meters[name].commands() if c.startswith("*IDN?"))

    def readings(self, name):
        return self.meters[name].commands().count("DATA:LAST?")

    def dialog_rows_shown(self, app, dialog, searching):
        """True once the lower part of the dialog (its list) no longer looks
        as it did while the search ran."""
        x, y, width, height = app.geometry(dialog)
        box = (x, y + height * 2 // 5, x + width, y + height * 4 // 5)
        return app.screenshot().crop(box).tobytes() != searching

    def open_dialog(self, app):
        try:
            app.choose(0, 0)  # Control > Connect
        except TimeoutError as error:
            raise AssertionError("%s; screenshot %s; korvata said %r" % (
                error, self.shot(app, "no-menu"), app.errors()[-1000:])) from None
        dialog = app.wait_window("^Dialog$")
        x, y, width, height = app.geometry(dialog)
        searching = app.screenshot().crop(
            (x, y + height * 2 // 5, x + width, y + height * 4 // 5)).tobytes()
        return dialog, searching

    def test_a_found_meter_is_picked_connected_and_remembered(self):
        config = os.path.join(self.work, "config")
        app = self.start(config)
        try:
            before = {name: self.asked_identity(name) for name in METERS}
            dialog, searching = self.open_dialog(app)
            # The search asks every answering meter who it is; the rows
            # follow. The silent address is never listed (and never waited
            # on beyond the search's bound).
            try:
                ui.wait_for(lambda: all(self.asked_identity(n) > before[n]
                                        for n in METERS), 10, "both meters to be asked *IDN?")
            except TimeoutError as error:
                raise AssertionError("%s; the meters got %s; screenshot %s; korvata said %r" % (
                    error, {n: self.meters[n].commands()[-4:] for n in METERS},
                    self.shot(app, "not-asked"), app.errors()[-1000:])) from None
            ui.wait_for(lambda: self.dialog_rows_shown(app, dialog, searching), 10,
                        "the rows of the instruments found")
            self.shot(app, "found")
            # Alt+I takes the keyboard to the rows (the first becomes
            # current and fills the address); Down picks the second meter,
            # Return connects to it.
            app.key("alt+i")
            app.key("Down")
            self.shot(app, "picked")
            app.key("Return")
            app.wait_gone("^Dialog$", timeout=15)
            ui.wait_for(lambda: self.readings("meter2") >= 3, 30, "readings from the second meter")
            self.assertEqual(self.readings("meter1"), 0)
            self.assertEqual(app.quit(), 0)
        finally:
            app.kill()

        # Started again with the same settings, the dialog opens on the
        # meter last connected: OK at once reaches it again.
        app = self.start(config)
        try:
            app.choose(0, 0)
            app.wait_window("^Dialog$")
            self.shot(app, "remembered")
            was = self.readings("meter2")
            app.key("Return")
            app.wait_gone("^Dialog$", timeout=15)
            ui.wait_for(lambda: self.readings("meter2") >= was + 3, 30,
                        "readings from the remembered meter")
            self.assertEqual(self.readings("meter1"), 0)
            self.assertEqual(app.quit(), 0)
        finally:
            app.kill()


if __name__ == "__main__":
    reason = NETWORK.why_unavailable()
    if reason:
        print("skipped: network namespaces cannot be made here:", reason)
        sys.exit(SKIPPED)
    private_network.remove_stale()
    NETWORK.remove_on_signal()
    try:
        result = unittest.main(exit=False, verbosity=2).result
    finally:
        NETWORK.remove()
    sys.exit(0 if result.wasSuccessful() else 1)
