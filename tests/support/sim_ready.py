"""Waits for a started korvata-sim to print "ready", for the Python tests
and benchmarks that start it."""

import os
import select
import time


def read_until_ready(process, timeout=10):
    """The lines korvata-sim printed up to and including "ready". Reads the
    raw pipe (a buffered reader could hold "ready" while select() waits on
    an empty descriptor). Raises RuntimeError when it ends or stays silent
    past the timeout; the caller stops the process."""
    return read_until(process, lambda lines: "ready" in lines, "get ready", timeout)


def read_until_line(process, prefix, timeout=10):
    """The next line korvata-sim prints that begins with `prefix` (lines
    before it are dropped); RuntimeError as read_until_ready."""
    lines = read_until(process, lambda lines: any(l.startswith(prefix) for l in lines),
                       "print " + prefix, timeout)
    return next(line for line in lines if line.startswith(prefix))


def read_until(process, done, what, timeout):
    """Reads lines until done(lines); what and timeout as above."""
    fd = process.stdout.fileno()
    deadline = time.monotonic() + timeout
    pending = b""
    lines = []
    while not done(lines):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise RuntimeError("korvata-sim did not %s: %r" % (what, lines))
        readable, _, _ = select.select([fd], [], [], remaining)
        if not readable:
            continue
        chunk = os.read(fd, 4096)
        if not chunk:
            raise RuntimeError("korvata-sim ended early: %r" % lines)
        pending += chunk
        *complete, pending = pending.split(b"\n")
        lines.extend(line.decode().strip() for line in complete)
    return lines


def ports(lines):
    """The ports from the "ports: name=port ..." line."""
    for line in lines:
        if line.startswith("ports:"):
            return dict((k, int(v)) for k, v in (item.split("=") for item in line.split()[1:]))
    return {}
