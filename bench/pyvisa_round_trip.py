#!/usr/bin/python3
"""Times queries through pyvisa with the pyvisa-py backend and prints one
duration in seconds per line, for the VISA benchmark to report.

Usage: pyvisa_round_trip.py RESOURCE COMMAND COUNT
"""
import sys
import time
import warnings

warnings.simplefilter("ignore")
import pyvisa  # noqa: E402

resource, command, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rm = pyvisa.ResourceManager("@py")
inst = rm.open_resource(resource, read_termination="\n", write_termination="", timeout=5000,
                        chunk_size=2 * 1024 * 1024)
inst.query(command)  # warm-up: link created, code paths loaded
durations = []
for _ in range(count):
    start = time.perf_counter()
    inst.query(command)
    durations.append(time.perf_counter() - start)
inst.close()
rm.close()
print("\n".join("%.9f" % d for d in durations))
