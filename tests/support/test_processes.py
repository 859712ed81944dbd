"""The processes a Python test starts (korvata, korvata-sim, Xvfb, a D-Bus
daemon), ended however the run ends: a case that passes, fails or raises,
a wait that times out, or the runner itself terminated or killed.

Every process started here
  - runs in a process group of its own, so that ending it ends whatever it
    started in its group too;
  - is killed by the kernel when the runner dies, even by SIGKILL (as ctest
    ends a test that overran its timeout);
  - carries the run's mark in its environment (RUN_MARK=run), as does
    everything it starts in turn (a D-Bus daemon or service it has
    launched, even one that left the group), so that what is left can
    still be found in /proc and ended.
The runner ends them all at exit and on SIGTERM or SIGHUP.
"""

import atexit
import ctypes
import os
import signal
import subprocess
import time
import uuid

RUN_MARK = "KORVATA_TEST_RUN"
# One mark for the whole run. A runner started by another one (as the
# cleanup check starts the end-to-end runner) keeps the mark it was given.
RUN = os.environ.get(RUN_MARK) or f"{os.getpid()}-{uuid.uuid4().hex}"
# Whatever this runner starts, here or through subprocess.run, inherits it.
os.environ[RUN_MARK] = RUN

_PR_SET_PDEATHSIG = 1
_started = []
_handlers_installed = False


def _ending_with(runner):
    """Runs in the child before exec: the kernel kills it when the runner
    dies; and if the runner died already, it ends at once."""
    libc = ctypes.CDLL(None, use_errno=True)

    def prepare():
        libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)
        if os.getppid() != runner:
            os._exit(1)

    return prepare


def start(command, env=None, **options):
    """subprocess.Popen(command, ...) for a process that must not outlive
    the run. env (default: this process's environment) gets the mark."""
    environment = dict(os.environ if env is None else env)
    environment[RUN_MARK] = RUN
    _install_handlers()
    process = subprocess.Popen(command, env=environment, start_new_session=True,
                               preexec_fn=_ending_with(os.getpid()), **options)
    _started.append(process)
    return process


def _signal_group(process, signum):
    # The group is the process's own (start_new_session) and its id stays
    # ours until the process is reaped, so it names no stranger's group.
    try:
        os.killpg(process.pid, signum)
    except ProcessLookupError:
        pass


def stop(process, timeout=10, signum=signal.SIGTERM):
    """Ends process and its group: signum first, SIGKILL after timeout
    seconds. Returns its exit status (negative: the signal that ended it)."""
    if process.poll() is None:
        _signal_group(process, signum)
        try:
            process.wait(timeout)
        except subprocess.TimeoutExpired:
            _signal_group(process, signal.SIGKILL)
            process.wait()
    if process in _started:
        _started.remove(process)
    return process.returncode


def forget(process):
    """process ended on its own and was waited for: nothing to end."""
    if process.poll() is not None and process in _started:
        _started.remove(process)


def _ancestors():
    pids = set()
    pid = os.getpid()
    while pid > 1:
        pids.add(pid)
        try:
            with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as stat:
                pid = int(stat.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            break
    return pids


def marked_processes(run=None):
    """{pid: command line} of the live processes that carry the run's mark
    (this process and its ancestors left out)."""
    wanted = f"{RUN_MARK}={run or RUN}".encode()
    skip = _ancestors()
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in skip:
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as environ:
                if wanted not in environ.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/stat", encoding="ascii", errors="replace") as stat:
                if stat.read().rsplit(")", 1)[1].split()[0] == "Z":
                    continue  # ended; only its parent's wait is missing
            with open(f"/proc/{entry}/cmdline", "rb") as cmdline:
                found[int(entry)] = cmdline.read().replace(b"\0", b" ").decode(
                    "utf-8", "replace").strip()
        except OSError:
            continue  # gone meanwhile, or not ours to read
    return found


def end_marked(run=None, timeout=5):
    """Ends every process left with the run's mark: SIGTERM, then SIGKILL
    for those still there after timeout seconds. Returns what was found."""
    found = marked_processes(run)
    for pid in found:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + timeout
    while marked_processes(run) and time.monotonic() < deadline:
        time.sleep(0.05)
    for pid in marked_processes(run):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    return found


def end_all():
    """Ends every process started here (the last started first), then
    whatever else carries the run's mark."""
    for process in reversed(list(_started)):
        try:
            stop(process, timeout=5)
        except OSError:
            pass
    end_marked()


def _on_signal(signum, _frame):
    end_all()
    # Then end as the signal would have ended the runner.
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


def _install_handlers():
    global _handlers_installed
    if _handlers_installed:
        return
    _handlers_installed = True
    atexit.register(end_all)
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _on_signal)
