"""Soak run and figures: korvata against korvata-sim over VXI-11 under Xvfb,
with the program's real pauses, driven by real input events.

For DURATION seconds the program records every reading to a file
(Logging > Record...) while it switches functions and views and saves its
readings now and then. It fails (exit 1) on a crash, a hang (the window
stops answering), a failure message, or resident memory that grows more
than LIMIT_MB after the first minute (only judged for runs of two minutes
or more). Memory is sampled once per cycle of five steps, just before the
save, when the program is in the same state each time; growth is the median
of the last minute's samples less the median of the second minute's, so that
a dialog's or a repaint's passing memory is not taken for a leak. The largest
sample is printed beside it, with the recording's size and rows; the run
also fails when the recording stopped early or is not whole CSV. It then
measures and prints:
  - start to first frame (the main window mapped),
  - resident memory connected with the trend view shown,
  - time to exit while a worker waits for a silent meter.

Usage: soak.py KORVATA KORVATA_SIM DURATION_SECONDS [LIMIT_MB]
"""

import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import korvata_ui as ui  # noqa: E402

FUNCTION_KEYS = ["btnACV", "btn2W", "btn-11-", "btnCont", "btnDCV"]
VIEWS = 4
LOGGING_MENU = 3


def start_recording(app, path):
    app.choose(LOGGING_MENU, 0)
    app.wait_window("^Record Readings To$")
    app.type(path)
    app.key("Return")
    app.wait_gone("^Record Readings To$")
    app.wait_window("^Korvata - Recording ")


def recording_rows(path):
    """Rows of a whole recording (header checked, last line ended)."""
    with open(path, encoding="utf-8") as recording:
        text = recording.read()
    if not text.endswith("\n") or not text.startswith("time,seconds,function,value,unit,range\n"):
        raise ValueError("the recording is not whole")
    rows = text.count("\n") - 1
    if any(line.count(",") < 5 for line in text.splitlines()):
        raise ValueError("a line of the recording lacks fields")
    return rows


def resident_kib(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def connect(app):
    app.choose(0, 0)
    app.wait_window("^Dialog$")
    app.key("Down", "Tab")
    app.type("127.0.0.1")
    app.key("Return")
    app.wait_gone("^Dialog$", timeout=30)


def responsive(app):
    """The window answers: a click on the view selector repaints it."""
    before = app.window_image().tobytes()
    app.click_view((app._selected_row + 1) % VIEWS)
    ui.wait_for(lambda: app.window_image().tobytes() != before, 20, "the window to answer")


def save(app, path):
    before = app.pid_windows()
    app.click_menu_bar(2)
    ui.wait_for(lambda: app.pid_windows() - before, 20, "the save dialog")
    app.type(path)
    app.key("Return")
    ui.wait_for(lambda: os.path.exists(path), 20, "the saved file")


def memory_growth(samples, elapsed):
    """MB grown from the second minute to the last one, and the largest
    sample in MB."""
    if not samples:
        return 0.0, 0.0
    peak = max(rss for _, rss in samples) / 1024
    second = [rss for at, rss in samples if 60 <= at < 120]
    last = [rss for at, rss in samples if at >= elapsed - 60]
    if not second or not last:
        return 0.0, peak
    return (statistics.median(last) - statistics.median(second)) / 1024, peak


def soak(program, sim_program, duration, limit_mb, work):
    failures = []
    with ui.Xvfb() as display, \
            ui.Sim(sim_program, (), log=os.path.join(work, "meter.log")) as sim:
        started = time.monotonic()
        app = ui.Korvata(program, display.name,
                         {"KORVATA_VISA_PORTMAPPER_PORT": str(sim.ports["portmapper"])})
        first_frame = time.monotonic() - started
        recording = os.path.join(work, "recording.csv")
        try:
            connect(app)
            start_recording(app, recording)
            sent_before = len(ui.reading_replies(sim.log))
            samples = []  # (seconds since begin, resident KiB)
            step = 0
            begin = time.monotonic()
            while time.monotonic() - begin < duration:
                app.click_key(FUNCTION_KEYS[step % len(FUNCTION_KEYS)])
                responsive(app)
                if step % 5 == 4:
                    save(app, os.path.join(work, f"readings-{step}.csv"))
                if app._find_window("^Error$"):
                    failures.append(f"a failure message appeared at step {step}")
                    break
                if not app.alive():
                    failures.append(f"the program ended at step {step}")
                    break
                if step % 5 == 3:
                    samples.append((time.monotonic() - begin, resident_kib(app.process.pid)))
                step += 1
            elapsed = time.monotonic() - begin
            growth_mb, peak_mb = memory_growth(samples, elapsed)
            print(f"soak: {step} steps in {elapsed:.0f} s; resident memory "
                  f"{resident_kib(app.process.pid) / 1024:.1f} MB, growth after the first "
                  f"minute {growth_mb:.2f} MB (largest sample {peak_mb:.1f} MB)")
            if duration >= 120 and growth_mb > limit_mb:
                failures.append(f"resident memory grew {growth_mb:.2f} MB (limit {limit_mb} MB)")
            if samples:
                print(f"figure: resident memory while recording: first sample "
                      f"{samples[0][1] / 1024:.1f} MB, last {samples[-1][1] / 1024:.1f} MB")
            if not app._find_window("^Korvata - Recording "):
                failures.append("the recording stopped before the end of the run")
            # Stop Recording: the first item the keyboard reaches while
            # "Record..." is greyed out.
            app.choose(LOGGING_MENU, 0)
            app.wait_window("^Korvata$")
            sent = len(ui.reading_replies(sim.log)) - sent_before
            rows = recording_rows(recording)
            print(f"figure: recording: {rows} readings, {os.path.getsize(recording) / 1e6:.2f} MB "
                  f"in {elapsed:.0f} s")
            # Every reading the meter sent while recording, give or take the
            # one under way as the recording started and stopped.
            if abs(rows - sent) > 2:
                failures.append(f"{rows} readings recorded of {sent} the meter sent")

            # Resident memory connected with the trend view shown.
            app.click_key("btnDCV")
            while app._selected_row != 2:
                responsive(app)
            ui.time.sleep(5)  # let the trend record fill
            print(f"figure: resident memory connected, trend view shown: "
                  f"{resident_kib(app.process.pid) / 1024:.1f} MB")
            status = app.quit(30)
            if status != 0:
                failures.append(f"exit status {status}")
        except Exception as error:  # a hang or a vanished window
            failures.append(f"{type(error).__name__}: {error}")
            app.kill()
            sys.stderr.write(app.errors())
        print(f"figure: start to first frame: {first_frame * 1000:.0f} ms")
    return failures


def exit_while_silent(program, sim_program, work):
    """Seconds from Ctrl+Q to the end of the process while the worker waits
    for a meter that has gone silent (before the read times out)."""
    silent_after = 60
    log = os.path.join(work, "silent-meter.log")
    with ui.Xvfb() as display, \
            ui.Sim(sim_program, ("--fault", f"silent-after={silent_after}"), log=log) as sim:
        app = ui.Korvata(program, display.name,
                         {"KORVATA_VISA_PORTMAPPER_PORT": str(sim.ports["portmapper"])})
        try:
            connect(app)
            ui.wait_for(lambda: len(sim.commands()) > silent_after, 60, "the meter to fall silent")
            app.xdotool("windowfocus", "--sync", app.window)
            start = time.monotonic()
            app.key("ctrl+q")
            app.process.wait(30)
            return time.monotonic() - start
        finally:
            app.kill()


def main():
    program, sim_program, duration = sys.argv[1], sys.argv[2], float(sys.argv[3])
    limit_mb = float(sys.argv[4]) if len(sys.argv) > 4 else 2.0
    work = tempfile.mkdtemp(prefix="korvata-soak-")
    failures = soak(program, sim_program, duration, limit_mb, work)
    for failure in failures:
        print(f"FAILED: {failure}", file=sys.stderr)
    try:
        seconds = exit_while_silent(program, sim_program, work)
        print(f"figure: exit while a worker waits for a silent meter: {seconds * 1000:.0f} ms")
        if seconds > 1.5:
            failures.append(f"exit took {seconds:.1f} s while a worker waited for a silent meter")
    except Exception as error:
        print(f"FAILED: exit while a worker waits for a silent meter: {error}", file=sys.stderr)
        failures.append(error)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
