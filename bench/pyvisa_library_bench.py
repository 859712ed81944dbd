#!/usr/bin/python3
"""pyvisa with libkorvata-visa.so beside pyvisa-py, in one run: query("*IDN?")
and a 1 MiB read_raw, against korvata-sim (VXI-11, raw socket) and, for our
library, the in-process simulated meter (USB).

Usage: pyvisa_library_bench.py LIBRARY KORVATA_SIM [--repeat N] [--port111] [--chunk BYTES]
With --port111 the meter is also served on port 111, where pyvisa-py looks
for VXI-11 (needs the port free). --chunk sets the resources' chunk_size
(pyvisa reads a reply in pieces of this size; 20 KiB unless set).
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
from sim_ready import ports, read_until_ready  # noqa: E402

MIB = 1024 * 1024
USB_SIM = "USB0::0x1209::0x4B56::KVSIM0001::INSTR"

# Runs in a child process per backend and meter: prints the median seconds.
CHILD = r"""
import json, statistics, sys, time, warnings
warnings.simplefilter("ignore")
import pyvisa
backend, name, what, repeat = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
chunk = int(sys.argv[5])
rm = pyvisa.ResourceManager(backend)
inst = rm.open_resource(name, read_termination="\n", write_termination="\n", timeout=20000)
if chunk:
    inst.chunk_size = chunk
def once():
    if what == "idn":
        start = time.perf_counter()
        inst.query("*IDN?")
        return time.perf_counter() - start
    inst.write("*IDN?")
    start = time.perf_counter()
    data = inst.read_raw()
    elapsed = time.perf_counter() - start
    assert len(data) == 1048576, len(data)
    return elapsed
once()  # warm-up: link made, code paths loaded
times = [once() for _ in range(repeat)]
inst.close()
rm.close()
print(json.dumps({"median": statistics.median(times), "min": min(times)}))
"""


class Sim:
    def __init__(self, program, *arguments, port111=False):
        command = [program, "--vxi11", "--socket", "0", *arguments]
        if not port111:
            command += ["--portmapper", "0"]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        try:
            self.ports = ports(read_until_ready(self.process))
        except RuntimeError:
            self.stop()
            raise
        self.port111 = port111

    def env(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("KORVATA_VISA_SIMULATE", "KORVATA_VISA_PORTMAPPER_PORT")}
        if not self.port111:
            env["KORVATA_VISA_PORTMAPPER_PORT"] = str(self.ports["portmapper"])
        return env

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def measure(backend, name, what, env, repeat, chunk):
    out = subprocess.run([sys.executable, "-c", CHILD, backend, name, what, str(repeat),
                          str(chunk)],
                         env=env, capture_output=True, text=True, timeout=600)
    if out.returncode != 0:
        return None, out.stderr.strip().splitlines()[-1:]
    return json.loads(out.stdout)["median"], None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("library")
    parser.add_argument("sim")
    parser.add_argument("--repeat", type=int, default=20)
    parser.add_argument("--port111", action="store_true")
    parser.add_argument("--chunk", type=int, default=0)
    args = parser.parse_args()

    # One meter at a time, so that each can take port 111.
    rows = []
    usb_env = dict(os.environ, KORVATA_VISA_SIMULATE="1")
    for what, arguments in (("idn", ()), ("1MiB", ("--fault", "oversize=%d" % MIB))):
        sim = Sim(args.sim, *arguments, port111=args.port111)
        try:
            for label, name in (("VXI-11", "TCPIP0::127.0.0.1::inst0::INSTR"),
                                ("socket", "TCPIP0::127.0.0.1::%d::SOCKET" % sim.ports["socket"])):
                ours, _ = measure(args.library, name, what, sim.env(), args.repeat, args.chunk)
                theirs = None
                if label == "socket" or args.port111:
                    theirs, _ = measure("@py", name, what, sim.env(), args.repeat, args.chunk)
                rows.append((label, what, ours, theirs))
        finally:
            sim.stop()
    ours, _ = measure(args.library, USB_SIM, "idn", usb_env, args.repeat, args.chunk)
    rows.append(("USB (in-process)", "idn", ours, None))

    def ms(value):
        return "%10.3f ms" % (value * 1e3) if value is not None else "%13s" % "-"

    print("%-18s %-6s %13s %13s %8s" % ("interface", "what", "korvata-visa", "pyvisa-py",
                                         "ratio"))
    for label, what, ours, theirs in rows:
        ratio = "%7.1fx" % (theirs / ours) if ours and theirs else "%8s" % "-"
        print("%-18s %-6s %s %s %s" % (label, what, ms(ours), ms(theirs), ratio))
    print("(median of %d; 'what': query(\"*IDN?\") or read_raw() of a 1 MiB reply; "
          "chunk size %s)" % (args.repeat, args.chunk or "pyvisa's default"))


if __name__ == "__main__":
    main()
