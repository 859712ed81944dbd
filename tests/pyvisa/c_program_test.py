#!/usr/bin/python3
"""Installs the VISA library into a temporary prefix, builds a C program
against it with nothing but `pkg-config --cflags --libs korvata-visa`, and
runs it against the simulated meter.

Usage: c_program_test.py BUILD_DIR
"""
import glob
import os
import shlex
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, timeout=120, **kwargs)
    if result.returncode != 0:
        sys.exit("%s failed (%d):\n%s%s" % (command[0], result.returncode, result.stdout,
                                            result.stderr))
    return result.stdout


def main():
    build = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="korvata-visa-") as prefix:
        # The library (libkorvata-visa0), then what builds against it
        # (libkorvata-visa-dev): the header, the .so link, the .pc file.
        for component in ["visa-runtime", "visa-development"]:
            run(["cmake", "--install", build, "--prefix", prefix, "--component", component])
        pc_dirs = [os.path.dirname(p) for p in
                   glob.glob(os.path.join(prefix, "**", "korvata-visa.pc"), recursive=True)]
        if len(pc_dirs) != 1:
            sys.exit("korvata-visa.pc installed %d times" % len(pc_dirs))
        env = dict(os.environ, PKG_CONFIG_PATH=pc_dirs[0])
        flags = run(["pkg-config", "--cflags", "--libs", "korvata-visa"], env=env)
        program = os.path.join(prefix, "query_meter")
        run(["cc", "-std=c99", "-Wall", "-Werror", os.path.join(HERE, "query_meter.c"), "-o",
             program, *shlex.split(flags)])
        libdir = run(["pkg-config", "--variable=libdir", "korvata-visa"], env=env).strip()
        env = dict(os.environ, KORVATA_VISA_SIMULATE="1", LD_LIBRARY_PATH=libdir)
        out = run([program], env=env)
        if "KORVATA," not in out:
            sys.exit("unexpected answer: %r" % out)
        print(out.strip())
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
