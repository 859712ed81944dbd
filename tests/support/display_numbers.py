"""X display numbers that no other test display holds, whatever network
namespace it runs in.

An X server left to pick its own number (-displayfd) takes the first one
whose socket it can bind, and the abstract sockets it binds belong to its
network namespace: servers of tests that run in namespaces of their own all
pick :0. But they still share files named after the number: the keymap
each one compiles at start and at every reset (/var/lib/xkb/server-N.xkm),
and the socket files in /tmp/.X11-unix. Two servers on one number overwrite
and delete each other's keymap, and one of them dies ("Failed to activate
virtual core keyboard") or stalls while a client connects.

So a test display claims its number here first: an exclusive lock on a file
of that number in /tmp, which every namespace sees, held for as long as the
server runs. The kernel drops the lock when the claiming process ends,
however it ends.
"""

import fcntl
import os

# Clear of the numbers a desktop session takes.
FIRST = 20
LAST = 400


def _lock_path(number):
    return f"/tmp/.korvata-X{number}.lock"


def _taken_by_a_stranger(number):
    """A server that is not a test display holds the number: its lock file
    or its socket file is there."""
    return os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}")


class Claim:
    """One display number, held until release()."""

    def __init__(self, number, fd):
        self.number = number
        self._fd = fd

    def release(self):
        if self._fd is not None:
            os.close(self._fd)  # drops the lock
            self._fd = None


def _try_claim(number):
    path = _lock_path(number)
    try:
        fd = os.open(path, os.O_RDONLY | os.O_CREAT, 0o644)
    except PermissionError:
        # Created by another user: a read-only descriptor takes the lock too.
        try:
            fd = os.open(path, os.O_RDONLY)
        except OSError:
            return None
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        os.close(fd)
        return None
    if _taken_by_a_stranger(number):
        os.close(fd)
        return None
    return Claim(number, fd)


def claims(first=FIRST, last=LAST):
    """Yields claims of free numbers, lowest first: the caller starts its
    server on one and keeps that claim, or releases it and takes the next
    (when the server could not start on it). Raises when none is left."""
    for number in range(first, last):
        claim = _try_claim(number)
        if claim:
            yield claim
    raise RuntimeError(f"no free X display number between :{first} and :{last - 1}")
