"""Test displays started side by side, each in a network namespace of its
own (as the end-to-end tests run), get numbers of their own and keep
answering clients; a running display's number is handed to no other.

Usage: test_displays.py    (as root: its clients join the servers' namespaces)
"""

import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import korvata_ui as ui  # noqa: E402
import display_numbers  # noqa: E402  (on the path korvata_ui sets)

OWN_NETWORK = os.path.join(HERE, "..", "support", "own_network.sh")


def client_in_namespace_of(display):
    """A client started in the server's network namespace: it connects,
    reads the pointer and leaves."""
    return subprocess.Popen(
        ["nsenter", f"--net=/proc/{display.process.pid}/ns/net", "xdotool", "getmouselocation"],
        env=dict(os.environ, DISPLAY=display.name), stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE)


@unittest.skipUnless(os.geteuid() == 0, "needs root, to join a namespace")
class DisplaysSideBySide(unittest.TestCase):
    def test_displays_in_namespaces_of_their_own_get_numbers_of_their_own(self):
        # In a fresh namespace every abstract socket is free: a server that
        # picked the first free number itself would take :0 in each.
        displays = []
        try:
            for _ in range(3):
                displays.append(ui.Xvfb(prefix=[OWN_NETWORK]))
            names = [display.name for display in displays]
            self.assertEqual(len(set(names)), len(names), names)
            # Each answers a client of its own, all at once.
            clients = [client_in_namespace_of(display) for display in displays]
            for display, client in zip(displays, clients):
                _, errors = client.communicate(timeout=30)
                self.assertEqual(client.returncode, 0, (display.name, errors))
                self.assertIsNone(display.process.poll(), display.name)
        finally:
            for display in displays:
                display.close()

    def test_a_running_display_keeps_its_number_to_itself(self):
        display = ui.Xvfb()
        try:
            number = int(display.name[1:])
            self.assertIsNone(display_numbers._try_claim(number))
            client = client_in_namespace_of(display)
            _, errors = client.communicate(timeout=30)
            self.assertEqual(client.returncode, 0, errors)
        finally:
            display.close()

if __name__ == "__main__":
    unittest.main(verbosity=2)
