#!/usr/bin/python3
"""One pyvisa session script, run unchanged with any VISA backend.

Usage: visa_session_script.py BACKEND RESOURCE [RESOURCE...]
BACKEND is a VISA library path or "@py". Prints one JSON object: for each
resource what each step answered, so that two backends can be compared.
A resource prefixed with "big:" is a meter whose every reply is 1 MiB; one
prefixed with "quirks:" is served with every quirk (one link at a time,
replies in 40-byte pieces): a shorter script of sessions one after another.
"""
import json
import subprocess
import sys
import warnings

warnings.simplefilter("ignore")
import pyvisa  # noqa: E402
from pyvisa import constants  # noqa: E402

ECHO_LENGTH = 300_000  # far beyond VXI-11's 1 KiB and USBTMC's 64 KiB per transfer
QUIRK_ECHO_LENGTH = 20_000  # 160 device_writes of 128 bytes, 500 reads of 40
QUIRK_SESSIONS = 100


def outcome(call):
    """The call's value, or the VISA error code it raised."""
    try:
        value = call()
        return {"ok": value if isinstance(value, (int, str)) or value is None else repr(value)}
    except pyvisa.VisaIOError as error:
        return {"error": error.error_code}
    except NotImplementedError:
        return {"error": "not implemented"}


def other_client(backend, name):
    """What another process gets when it queries the resource now."""
    result = subprocess.run([sys.executable, __file__, "--probe", backend, name],
                            capture_output=True, text=True, timeout=60)
    return json.loads(result.stdout) if result.returncode == 0 else {"failed": result.stderr}


def probe(backend, name):
    rm = pyvisa.ResourceManager(backend)
    inst = rm.open_resource(name, read_termination="\n", write_termination="\n", timeout=500)
    try:
        answer = outcome(lambda: inst.query("ECHO? probe"))
    finally:
        inst.close()
        rm.close()
    json.dump(answer, sys.stdout)


def message_session(rm, backend, name):
    inst = rm.open_resource(name, read_termination="\n", write_termination="\n", timeout=5000)
    answers = {}
    try:
        answers["resource_class"] = inst.resource_class
        answers["interface_type"] = int(inst.interface_type)
        answers["idn"] = inst.query("*IDN?")
        text = "x" * ECHO_LENGTH
        inst.write_raw(("ECHO? " + text + "\n").encode())
        answers["echo_intact"] = inst.read() == text
        # A read with nothing to read times out, and the session goes on.
        inst.timeout = 200
        answers["timeout"] = outcome(inst.read)
        inst.timeout = 5000
        answers["after_timeout"] = inst.query("ECHO? again")
        # The status byte shows a reply waiting (MAV) and an error queued.
        inst.write("*IDN?")
        answers["stb_reply_waiting"] = outcome(inst.read_stb)
        if answers["resource_class"] == "SOCKET":
            # A raw socket cannot call back a reply still on the way: take it.
            inst.read()
        answers["clear"] = outcome(inst.clear)
        answers["after_clear"] = inst.query("ECHO? cleared")
        answers["stb_idle"] = outcome(inst.read_stb)
        answers["lock_exclusive"] = outcome(lambda: inst.lock_excl(timeout=1000))
        answers["locked_query"] = inst.query("ECHO? locked")
        if answers["resource_class"] == "INSTR" and answers["interface_type"] == 6:
            # A VXI-11 instrument keeps other clients out while we hold the lock.
            answers["other_client_while_locked"] = other_client(backend, name)
        answers["unlock"] = outcome(inst.unlock)
        if "other_client_while_locked" in answers:
            # Closing a session that holds the lock lets the others in again.
            second = rm.open_resource(name, timeout=5000)
            second.lock_excl(timeout=1000)
            second.close()
            answers["other_client_after_locked_close"] = other_client(backend, name)
        answers["lock_shared"] = outcome(lambda: bool(inst.lock(timeout=1000)) or None)
        answers["unlock_shared"] = outcome(inst.unlock)
        answers["unlock_not_locked"] = outcome(inst.unlock)
        answers["trigger"] = outcome(inst.assert_trigger)
        answers["flush"] = outcome(lambda: inst.flush(constants.BufferOperation.discard_read_buffer))
        if answers["resource_class"] == "SOCKET":
            # With 488.2 strings a socket asks "*STB?" and clears with "*CLS".
            answers["io_protocol"] = outcome(
                lambda: setattr(inst, "io_protocol", constants.IOProtocol.protocol4882_strs))
            inst.write("NOT:A:COMMAND")
            answers["stb_4882_error"] = outcome(inst.read_stb)
            answers["clear_4882"] = outcome(inst.clear)
            answers["stb_4882_cleared"] = outcome(inst.read_stb)
            outcome(lambda: setattr(inst, "io_protocol", constants.IOProtocol.normal))
        answers["last"] = inst.query("ECHO? last")
    finally:
        inst.close()
    return answers


def quirk_session(rm, name):
    inst = rm.open_resource(name, read_termination="\n", write_termination="\n", timeout=5000)
    answers = {}
    try:
        answers["idn"] = inst.query("*IDN?")
        text = "q" * QUIRK_ECHO_LENGTH
        inst.write_raw(("ECHO? " + text + "\n").encode())
        answers["echo_intact"] = inst.read() == text
        inst.timeout = 200
        answers["timeout"] = outcome(inst.read)
        inst.timeout = 5000
        answers["after_timeout"] = inst.query("ECHO? again")
        inst.write("*IDN?")
        answers["stb_reply_waiting"] = outcome(inst.read_stb)
        answers["clear"] = outcome(inst.clear)
        answers["after_clear"] = inst.query("ECHO? cleared")
    finally:
        inst.close()
    # Sessions one after another: each must destroy its link for the next.
    answers["sessions"] = 0
    for _ in range(QUIRK_SESSIONS):
        again = rm.open_resource(name, read_termination="\n", timeout=5000)
        try:
            if again.query("*IDN?") == answers["idn"]:
                answers["sessions"] += 1
        finally:
            again.close()
    return answers


def big_reply(rm, name):
    inst = rm.open_resource(name, read_termination="\n", write_termination="\n", timeout=10000)
    try:
        inst.write("*IDN?")
        data = inst.read_raw()
        return {"length": len(data), "head": data[:8].decode(), "ends": data[-1:].decode()}
    finally:
        inst.close()


def main():
    if sys.argv[1] == "--probe":
        probe(sys.argv[2], sys.argv[3])
        return
    backend, names = sys.argv[1], sys.argv[2:]
    rm = pyvisa.ResourceManager(backend)
    results = {"list_usb": list(rm.list_resources("USB?*INSTR"))}
    for name in names:
        if name.startswith("big:"):
            results[name] = big_reply(rm, name[4:])
        elif name.startswith("quirks:"):
            results[name] = quirk_session(rm, name[7:])
        else:
            results[name] = message_session(rm, backend, name)
    rm.close()
    json.dump(results, sys.stdout, indent=1, sort_keys=True)


if __name__ == "__main__":
    main()
