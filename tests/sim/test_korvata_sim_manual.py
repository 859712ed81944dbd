"""korvata-sim's manual page (sim/korvata-sim.1) and its --help agree: the
same options, the same fault keys, the same quirk names, each documented
once; and the page is one man renders without a warning.

Usage: test_korvata_sim_manual.py KORVATA_SIM
"""

import os
import re
import subprocess
import sys
import unittest

SIM = sys.argv.pop(1)
PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "sim",
                    "korvata-sim.1")


def help_text():
    result = subprocess.run([SIM, "--help"], capture_output=True, text=True, timeout=30,
                            check=False)
    return result.returncode, result.stdout, result.stderr


def from_help(text):
    """The options, fault keys and quirk names --help lists."""
    options = re.findall(r"^  (--[a-z0-9-]+)", text, re.MULTILINE)
    # The fault keys and quirk names are listed 25 columns in, a key with
    # "=VALUE", a name with none.
    entries = re.findall(r"^ {25}([a-z0-9-]+)(=?)", text, re.MULTILINE)
    faults = [name for name, equals in entries if equals]
    quirks = [name for name, equals in entries if not equals]
    return options, faults, quirks


def from_manual(page):
    """The options of the OPTIONS section and the fault keys and quirk names
    indented under --fault and --quirk, each an entry (.TP) of its own."""
    text = page.replace("\\-", "-")
    section = text.split(".SH OPTIONS\n", 1)[1].split("\n.SH ", 1)[0]
    options, faults, quirks = [], [], []
    owner = None
    lines = section.splitlines()
    for i, line in enumerate(lines):
        if line == ".RE":
            owner = None
        if line != ".TP" or i + 1 == len(lines):
            continue
        header = re.sub(r"\\f[BIR]|^\.B ", "", lines[i + 1])
        name = re.match(r"[a-z0-9-]+", header.lstrip("-"))
        if header.startswith("--"):
            options.append(header.split()[0])
            owner = header.split()[0]
        elif owner == "--fault" and "=" in header:
            faults.append(header.split("=")[0])
        elif owner == "--quirk" and name:
            quirks.append(name.group(0))
    return options, faults, quirks


class ManualAndHelp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        status, cls.help, error = help_text()
        if (status, error) != (0, ""):
            raise AssertionError(f"korvata-sim --help: status {status}, {error}")
        with open(PAGE, encoding="utf-8") as page:
            cls.page = page.read()

    def test_the_same_options_fault_keys_and_quirks(self):
        help_options, help_faults, help_quirks = from_help(self.help)
        page_options, page_faults, page_quirks = from_manual(self.page)
        self.assertGreaterEqual(len(help_options), 7)
        self.assertGreaterEqual(len(help_faults), 5)
        self.assertGreaterEqual(len(help_quirks), 10)
        for listed in [page_options, page_faults, page_quirks]:
            self.assertEqual(len(listed), len(set(listed)), listed)
        self.assertEqual(sorted(page_options), sorted(help_options))
        self.assertEqual(sorted(page_faults), sorted(help_faults))
        self.assertEqual(sorted(page_quirks), sorted(help_quirks))

    def test_every_option_the_program_accepts_is_documented(self):
        # An option the manual names is one the program takes; one it does
        # not name is refused as unknown (status 2).
        for option in from_manual(self.page)[0]:
            # These take no value and start serving (--help prints).
            if option in ("--help", "--vxi11", "--announce"):
                continue
            result = subprocess.run([SIM, option], capture_output=True, text=True,
                                    timeout=30, check=False)
            self.assertNotIn("unknown option", result.stderr, option)
        result = subprocess.run([SIM, "--no-such-option"], capture_output=True, text=True,
                                timeout=30, check=False)
        self.assertEqual(result.returncode, 2)
        self.assertIn("unknown option", result.stderr)

    def test_man_renders_it_without_a_warning(self):
        result = subprocess.run(["man", "--warnings", "-l", PAGE], capture_output=True,
                                text=True, timeout=60, check=False,
                                env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"))
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertIn("korvata-sim - a simulated bench multimeter", result.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
