#!/usr/bin/env python3
"""Figures of korvata-log: CPU time per reading and resident memory while
logging, against korvata-sim on loopback (VXI-11 or the raw socket).

Usage: log_figures.py KORVATA_LOG KORVATA_SIM SECONDS [vxi11|socket]

Logs DC voltage for SECONDS, samples the logger's resident memory once a
second from /proc, and takes its CPU time (user + system) from the kernel
when it ends. Prints the readings, CPU time per reading, the largest and
the last resident memory, and the growth after the first minute (or the
first tenth of the run, when shorter).
"""

import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
import test_processes  # noqa: E402
from sim_ready import ports, read_until_ready  # noqa: E402


def resident_kib(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    logger, simulator, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    transport = sys.argv[4] if len(sys.argv) > 4 else "vxi11"
    sim = test_processes.start([simulator, "--vxi11", "--portmapper", "0", "--socket", "0"],
                               stdout=subprocess.PIPE)
    found = ports(read_until_ready(sim))
    env = dict(os.environ)
    if transport == "vxi11":
        resource = "TCPIP0::127.0.0.1::inst0::INSTR"
        env["KORVATA_VISA_PORTMAPPER_PORT"] = str(found["portmapper"])
    else:
        resource = f"TCPIP0::127.0.0.1::{found['socket']}::SOCKET"
    with tempfile.TemporaryDirectory() as directory:
        output = os.path.join(directory, "figures.csv")
        run = test_processes.start([logger, "-q", "-f", "dcv", "-d", f"{seconds}s", "-o", output,
                                    resource], env=env)
        samples = []
        usage = None
        while usage is None:
            try:
                kib = resident_kib(run.pid)
                if kib > 0:  # 0: ended, not yet waited for
                    samples.append((time.monotonic(), kib))
            except (OSError, ValueError):
                pass
            pid, status, rusage = os.wait4(run.pid, os.WNOHANG)
            if pid == run.pid:
                usage = rusage
                run.returncode = os.waitstatus_to_exitcode(status)
            else:
                time.sleep(1)
        test_processes.forget(run)
        with open(output, encoding="utf-8") as recording:
            readings = sum(1 for _ in recording) - 1
    test_processes.stop(sim)
    cpu = usage.ru_utime + usage.ru_stime
    start = samples[0][0]
    settled = next((kib for at, kib in samples if at - start >= min(60, seconds / 10)),
                   samples[-1][1])
    print(f"transport {transport}, {seconds:.0f} s, exit {run.returncode}")
    print(f"readings {readings} ({readings / seconds:.1f}/s)")
    print(f"CPU {cpu:.2f} s in all, {cpu / max(1, readings) * 1e6:.0f} us per reading")
    print(f"resident memory: largest {max(k for _, k in samples) / 1024:.1f} MiB, "
          f"last {samples[-1][1] / 1024:.1f} MiB, growth after settling "
          f"{(samples[-1][1] - settled) / 1024:.2f} MiB")


if __name__ == "__main__":
    main()
