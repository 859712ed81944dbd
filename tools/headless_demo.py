"""Korvata on a display without a user: connects the program to the
built-in simulated meter (Control > Connect > USBTMC > OK) with real input
events, lets readings arrive, saves a screenshot and the readings, and
quits with Ctrl+Q. Prints the picture's path and how many readings the
program holds. Exits with the program's own status.

Usage: headless_demo.py PROGRAM SCREENSHOT [SECONDS]
"""

import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import korvata_ui as ui  # noqa: E402


def main():
    program, screenshot = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 5
    app = ui.Korvata(program, os.environ["DISPLAY"], {"KORVATA_VISA_SIMULATE": "1"})
    try:
        app.choose(0, 0)  # Control > Connect
        app.wait_window("^Dialog$")
        app.key("Return")  # USBTMC is chosen when the dialog opens
        app.wait_gone("^Dialog$", timeout=30)
        ui.time.sleep(seconds)  # readings arrive on their own
        app.window_image().save(screenshot)
        saved = os.path.join(tempfile.mkdtemp(prefix="korvata-demo-"), "readings.csv")
        before = app.pid_windows()
        app.click_menu_bar(2)  # SaveData
        ui.wait_for(lambda: app.pid_windows() - before, 10, "the save dialog")
        app.type(saved)
        app.key("Return")
        ui.wait_for(lambda: os.path.exists(saved), 15, "the saved readings")
        with open(saved, encoding="ascii") as readings:
            count = sum(1 for _ in readings)
        print(f"screenshot: {screenshot}")
        print(f"readings shown and saved: {count} (in {saved})")
        return app.quit()
    except Exception:
        app.kill()
        sys.stderr.write(app.errors())
        raise


if __name__ == "__main__":
    sys.exit(main())
