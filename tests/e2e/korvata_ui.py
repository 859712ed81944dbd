"""Drives the real korvata program on an X display with real input events.

Everything here acts as a user would: xdotool moves the pointer, clicks and
types; screenshots are taken from the display. Positions of the front
panel's keys come from the skin file (FrontPanel.xml), placed at the panel's
origin in the main window; menu titles are found in a screenshot of the
menu bar. Nothing reads the program's memory or talks to it any other way.

Every process started here is ended with the run, however it ends (see
tests/support/test_processes.py).
"""

import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

from PIL import ImageGrab

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import display_numbers  # noqa: E402
import test_processes  # noqa: E402
from recorded_readings import reading_replies  # noqa: E402,F401  (for the tests)
from sim_ready import ports, read_until_ready  # noqa: E402

POLL = 0.05  # seconds between two looks at the screen or a process


def wait_for(condition, timeout, what):
    """Polls condition until it gives a true value; raises at the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(POLL)


def planted_fault(point):
    """A fault planted for the check that a failing run leaves nothing
    running: KORVATA_E2E_FAULT="KIND:POINT" acts when the run reaches POINT
    ("started": korvata's window is there; "connected": a session has
    connected). KIND "raise" fails the run there, "hang" waits there until
    the runner is ended. Either first creates the file named by
    KORVATA_E2E_FAULT_NOTE; "raise" then waits until that file is removed,
    so that the check can look at the processes while they all run."""
    kind, _, at = os.environ.get("KORVATA_E2E_FAULT", "").partition(":")
    if not kind or at != point:
        return
    note = os.environ.get("KORVATA_E2E_FAULT_NOTE")
    if note:
        with open(note, "w", encoding="ascii") as reached:
            reached.write(point)
    if kind == "hang":
        wait_for(lambda: False, 24 * 3600, "the end of the planted hang")
    if note:
        wait_for(lambda: not os.path.exists(note), 120, "the check to look")
    raise RuntimeError(f"planted fault: {kind} when {point}")


def read_line(fd, timeout, what):
    """The first line written to the pipe fd (closed afterwards), or "" when
    the writer closed it first; raises at the timeout."""
    text = b""
    try:
        deadline = time.monotonic() + timeout
        while b"\n" not in text:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
            if select.select([fd], [], [], remaining)[0]:
                chunk = os.read(fd, 256)
                if not chunk:
                    break
                text += chunk
    finally:
        os.close(fd)
    return text.decode(errors="replace").split("\n")[0].strip()


def _started_printing(command, what, **options):
    """Starts command with the write end of a pipe open at file descriptor
    {fd} of its arguments; returns the process and the first line it
    writes there. The process is ended when it writes none."""
    read_end, write_end = os.pipe()
    try:
        process = test_processes.start([part.format(fd=write_end) for part in command],
                                       pass_fds=(write_end,), **options)
    finally:
        os.close(write_end)
    try:
        line = read_line(read_end, 30, what)
    except TimeoutError:
        line = ""
    if not line:
        test_processes.stop(process)
        raise RuntimeError(f"{what} did not start")
    return process, line


class Xvfb:
    """A private X display for one run, on a number no other test display
    holds, in this network namespace or any other (see display_numbers).

    The server listens on its abstract socket, which is its network
    namespace's own, and on the socket file in /tmp/.X11-unix, which every
    namespace sees, only when asked to (`file_socket`, for a program in
    another namespace than the display's)."""

    def __init__(self, width=1280, height=1024, prefix=(), file_socket=False):
        listen = ["-nolisten", "tcp"] + ([] if file_socket else ["-nolisten", "unix"])
        self.process = None
        failures = 0
        for claim in display_numbers.claims():
            try:
                # -displayfd with a number given: the server writes it once
                # it takes connections.
                self.process, _ = _started_printing(
                    [*prefix, "Xvfb", f":{claim.number}", "-displayfd", "{fd}",
                     "-screen", "0", f"{width}x{height}x24", *listen], "Xvfb",
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except RuntimeError:
                # A server we do not know holds the number here; a few such
                # numbers are likely, a server that never starts is not.
                claim.release()
                failures += 1
                if failures == 5:
                    raise
                continue
            self._claim = claim
            self.name = f":{claim.number}"
            break

    def close(self):
        if self.process:
            test_processes.stop(self.process)
            self.process = None
            self._claim.release()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


class Sim:
    """korvata-sim serving the simulated meter over VXI-11 and a raw socket."""

    def __init__(self, program, arguments=(), log=None, portmapper=0, prefix=()):
        command = [*prefix, program, "--vxi11", "--portmapper", str(portmapper), "--socket", "0",
                   *arguments]
        if log:
            command += ["--log", log]
        self.log = log
        self.process = test_processes.start(command, stdout=subprocess.PIPE)
        try:
            self.ports = ports(read_until_ready(self.process))
            if not self.ports:
                raise RuntimeError("korvata-sim did not print its ports")
        except Exception:
            self.stop()
            raise

    def commands(self):
        """The commands the meter received, in order, from its log."""
        with open(self.log, encoding="utf-8", errors="replace") as log:
            return [line[2:].rstrip("\n") for line in log if line.startswith("> ")]

    def stop(self):
        test_processes.stop(self.process)
        self.process.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


class Skin:
    """Rectangles of the named controls in FrontPanel.xml, in panel pixels."""

    def __init__(self, path):
        root = ElementTree.parse(path).getroot()
        self.rects = {}
        top = root.find("widget")
        rect = top.find("./property[@name='geometry']/rect")
        self.size = (int(rect.findtext("width")), int(rect.findtext("height")))
        self._walk(top, 0, 0, is_top=True)

    def _walk(self, widget, x, y, is_top=False):
        rect = widget.find("./property[@name='geometry']/rect")
        if rect is not None and not is_top:
            x += int(rect.findtext("x"))
            y += int(rect.findtext("y"))
            width, height = int(rect.findtext("width")), int(rect.findtext("height"))
            self.rects[widget.get("name")] = (x, y, width, height)
        for child in widget.iter():
            if child is widget:
                continue
            # Only direct widget children (possibly inside layouts/items).
            if child.tag == "widget" and self._parent_widget(widget, child):
                self._walk(child, x, y)

    @staticmethod
    def _parent_widget(parent, child):
        def search(node):
            for sub in node:
                if sub is child:
                    return True
                if sub.tag != "widget" and search(sub):
                    return True
            return False
        return search(parent)

    def centre(self, name):
        x, y, width, height = self.rects[name]
        return x + width // 2, y + height // 2


class SessionBus:
    """A private D-Bus session bus for the program: it does not meet the
    desktop's bus, and the D-Bus library does not launch one of its own
    that would outlive the run. None of it when dbus-daemon is missing."""

    def __init__(self, prefix=()):
        self.process = None
        self.address = None
        if shutil.which("dbus-daemon"):
            self.process, self.address = _started_printing(
                [*prefix, "dbus-daemon", "--session", "--nofork", "--print-address={fd}"],
                "the D-Bus daemon", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.process:
            test_processes.stop(self.process)


class Korvata:
    """The korvata program on a display, driven with xdotool."""

    def __init__(self, program, display, environment=None, skin=None, prefix=()):
        """`prefix` goes before the program's command (for instance to run
        it in another network namespace, with its bus)."""
        self.display = display
        self.env = dict(os.environ, DISPLAY=display)
        self.runtime = tempfile.mkdtemp(prefix="korvata-xdg-")
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        # Settings the program remembers stay in this run's own folder.
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.runtime, "config")
        self.bus = SessionBus(prefix)
        if self.bus.address:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        self.env.update(environment or {})
        self.stderr = tempfile.TemporaryFile()
        # The address of the last connection the program keeps, which its
        # connection dialog opens on (set by whoever connects).
        self.remembered = None
        self.process = None
        try:
            self.process = test_processes.start([*prefix, program], env=self.env,
                                                stdout=subprocess.DEVNULL, stderr=self.stderr)
            # Generous: other tests (a package installed into a clean
            # system, say) may load the machine meanwhile.
            try:
                self.window = wait_for(lambda: self._find_window("^Korvata$"), 90,
                                       "the main window")
            except TimeoutError as error:
                raise TimeoutError(f"{error}; the program is "
                                   f"{'running' if self.alive() else 'gone'}; it said "
                                   f"{self.errors()[-2000:]!r}") from None
            planted_fault("started")
        except BaseException:
            self.kill()
            raise
        skin = skin or os.path.join(os.path.dirname(os.path.realpath(program)), "FrontPanel.xml")
        self.skin = Skin(skin)
        self.panel_origin = (0, self._panel_top())

    # X helpers -----------------------------------------------------------
    def xdotool(self, *arguments):
        # Bounded, so that a display that stopped answering fails the step
        # instead of hanging the run.
        return subprocess.run(["xdotool", *map(str, arguments)], env=self.env,
                              capture_output=True, text=True, check=False, timeout=60).stdout

    def _find_window(self, title):
        found = self.xdotool("search", "--onlyvisible", "--name", title).split()
        return found[0] if found else None

    def geometry(self, window=None):
        text = self.xdotool("getwindowgeometry", window or self.window)
        x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)", text).groups())
        width, height = map(int, re.search(r"Geometry: (\d+)x(\d+)", text).groups())
        return x, y, width, height

    def screenshot(self, path=None):
        image = ImageGrab.grab(xdisplay=self.display)
        if path:
            image.save(path)
        return image

    def window_image(self):
        x, y, width, height = self.geometry()
        return self.screenshot().crop((x, y, x + width, y + height))

    def _panel_top(self):
        """The front panel starts below the menu bar: the first row of the
        window that is almost all the panel's dark bezel, under rows that are
        almost all the light menu bar. A window that is mapped but not yet
        painted shows neither, so the search waits until both are there and
        two looks in a row agree."""
        def dark_share(image, y):
            samples = range(0, image.width, 4)
            return sum(1 for x in samples if image.getpixel((x, y)) < 110) / len(samples)

        def find():
            image = self.window_image().convert("L")
            for y in range(0, min(120, image.height)):
                if dark_share(image, y) > 0.9:
                    bar = range(0, y)
                    if y >= 10 and all(dark_share(image, row) < 0.5 for row in bar):
                        return y
                    return None
            return None

        previous = [None]

        def settled():
            top = find()
            agreed = top is not None and top == previous[0]
            previous[0] = top
            return top if agreed else None

        return wait_for(settled, 10, "the front panel under the menu bar")

    # Input ----------------------------------------------------------------
    def click_at(self, x, y, window=None):
        wx, wy, _, _ = self.geometry(window)
        self.xdotool("mousemove", "--sync", wx + x, wy + y)
        self.xdotool("click", "1")

    def click_key(self, name):
        """Clicks a control of the front panel by its skin name."""
        x, y = self.skin.centre(name)
        self.click_at(self.panel_origin[0] + x, self.panel_origin[1] + y)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "20", text)

    def menu_titles(self):
        """Centres of the menu-bar titles, found as runs of dark text pixels
        in the bar above the panel."""
        image = self.window_image().convert("L")
        bar_bottom = max(self.panel_origin[1], 8)
        columns = [any(image.getpixel((x, y)) < 110 for y in range(1, bar_bottom - 1))
                   for x in range(image.width)]
        titles, start, gap = [], None, 0
        for x, dark in enumerate(columns + [False] * 12):
            if dark:
                if start is None:
                    start = x
                gap, end = 0, x
            elif start is not None:
                gap += 1
                if gap > 10:
                    titles.append(((start + end) // 2, bar_bottom // 2))
                    start = None
        return titles

    def pid_windows(self):
        return set(self.xdotool("search", "--onlyvisible", "--pid", self.process.pid).split())

    def _expect_popup(self, action):
        """Runs action and waits until a new window of the program (a menu
        popup) is mapped, so that keys typed next reach it."""
        before = self.pid_windows()
        action()
        wait_for(lambda: self.pid_windows() - before, 10, "a menu to open")

    def open_menu(self, index):
        x, y = self.menu_titles()[index]
        self._expect_popup(lambda: self.click_at(x, y))

    def choose(self, menu_index, item_index, submenu_item=None):
        """Opens a menu-bar title and chooses its item by position (and the
        submenu's item by position)."""
        self.open_menu(menu_index)
        self.key(*(["Down"] * (item_index + 1)))
        if submenu_item is not None:
            self._expect_popup(lambda: self.key("Right"))
            self.key(*(["Down"] * submenu_item))
        self.key("Return")

    def click_menu_bar(self, index):
        """Clicks a title that is a command itself (no popup)."""
        x, y = self.menu_titles()[index]
        self.click_at(x, y)

    def click_view(self, index):
        """Clicks entry index of the view selector. Its rows are found once,
        from the selected (highlighted) entry at the right of the view area;
        the highlight may fade later, when the list loses the focus."""
        x = 700
        if self._view_rows is None:
            image = self.window_image().convert("RGB")
            top = self.panel_origin[1] + self.skin.size[1]
            band = [y for y in range(top, image.height)
                    if (lambda p: p[2] > 150 and p[0] < 120)(image.getpixel((x, y)))]
            if not band:
                raise RuntimeError("no selected entry in the view selector")
            # The highlighted entry is one row; rows are as tall as it.
            height = band[-1] - band[0] + 1
            self._view_rows = (band[0] - self._selected_row * height, height)
        row_top, height = self._view_rows
        self.click_at(x, row_top + index * height + height // 2)
        self._selected_row = index

    _view_rows = None
    _selected_row = 0

    def wait_window(self, title, timeout=10):
        return wait_for(lambda: self._find_window(title), timeout, f"window {title!r}")

    def wait_gone(self, title, timeout=10):
        wait_for(lambda: not self._find_window(title), timeout, f"{title!r} to close")

    # Life -----------------------------------------------------------------
    def alive(self):
        return self.process.poll() is None

    def quit(self, timeout=10):
        """Ctrl+Q, as a user quits; returns the exit status."""
        self.xdotool("windowfocus", "--sync", self.window)
        self.key("ctrl+q")
        status = self.process.wait(timeout)
        test_processes.forget(self.process)
        self.bus.close()
        shutil.rmtree(self.runtime, ignore_errors=True)
        return status

    def errors(self):
        self.stderr.seek(0)
        return self.stderr.read().decode("utf-8", "replace")

    def kill(self):
        if self.process:
            test_processes.stop(self.process, signum=signal.SIGKILL)
        self.bus.close()
        shutil.rmtree(self.runtime, ignore_errors=True)
