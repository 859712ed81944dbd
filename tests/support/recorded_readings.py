"""The readings a korvata-sim sent, from its command log, and the CSV that
a recording (the program's or korvata-log's) writes, for the tests that
compare the two."""

import csv

HEADER = ["time", "seconds", "function", "value", "unit", "range"]


def reading_replies(log_path):
    """The well-formed replies to "DATA:LAST?" in a korvata-sim log, in
    order: (the number as the meter wrote it, its value)."""
    replies = []
    query = None
    with open(log_path, encoding="utf-8", errors="replace") as log:
        for line in log:
            line = line.rstrip("\n")
            if line.startswith("> "):
                query = line[2:]
            elif line.startswith("< ") and query == "DATA:LAST?":
                number = line[2:].replace("\\n", "").strip().split(" ")[0]
                try:
                    replies.append((number, float(number)))
                except ValueError:
                    continue
    return replies


def meter_values(log_path):
    """The numbers the meter sent in replies to "DATA:LAST?", as it wrote
    them, overloads as the recording writes them."""
    return [("OVERLOAD" if value > 0 else "-OVERLOAD") if abs(value) >= 9.9e37 else number
            for number, value in reading_replies(log_path)]


def parse_recording(text):
    """The rows of a recording's text, after checking that it is whole CSV:
    the header, six fields on every line, the last line ended."""
    assert text.endswith("\n"), "the recording ends inside a line: %r" % text[-80:]
    rows = list(csv.reader(text.splitlines()))
    assert rows[0] == HEADER, rows[0]
    for row in rows[1:]:
        assert len(row) == 6, row
    return rows[1:]


def read_recording(path):
    """The rows of the recording in the file at path (parse_recording)."""
    with open(path, encoding="utf-8", newline="") as recording:
        return parse_recording(recording.read())
