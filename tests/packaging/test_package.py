"""The Debian package as a user gets it: built with cpack, unpacked into a
temporary folder (no system install), its layout and declared dependencies
checked, a C program built against its VISA header, pkg-config file and
library, and the unpacked program started under Xvfb to its first frame.

Usage: test_package.py BUILD_DIR
"""

import glob
import gzip
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import korvata_ui as ui  # noqa: E402

BUILD = sys.argv.pop(1)

VISA_CLIENT = r"""
#include <stdio.h>
#include <string.h>
#include <visa.h>

int main(void) {
    ViSession rm, vi;
    ViFindList list;
    ViUInt32 found = 0, count = 0;
    char name[VI_FIND_BUFLEN], reply[256];
    if (viOpenDefaultRM(&rm) < VI_SUCCESS) return 1;
    if (viFindRsrc(rm, "USB?*INSTR", &list, &found, name) < VI_SUCCESS) return 2;
    if (viOpen(rm, name, VI_NULL, VI_NULL, &vi) < VI_SUCCESS) return 3;
    if (viWrite(vi, (ViConstBuf)"*IDN?\n", 6, &count) < VI_SUCCESS) return 4;
    if (viRead(vi, (ViBuf)reply, sizeof reply - 1, &count) < VI_SUCCESS) return 5;
    reply[count] = 0;
    printf("%s|%s", name, reply);
    viClose(vi);
    viClose(rm);
    return 0;
}
"""


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="korvata-package-")
        run("cpack", "-G", "DEB", "-B", cls.work, "--config",
            os.path.join(BUILD, "CPackConfig.cmake"))
        cls.deb = glob.glob(os.path.join(cls.work, "korvata_*.deb"))[0]
        cls.root = os.path.join(cls.work, "root")
        run("dpkg-deb", "-x", cls.deb, cls.root)

    def test_declares_what_it_needs(self):
        depends = run("dpkg-deb", "-f", self.deb, "Depends").stdout
        for package in ["libqt6widgets6", "libqt6uitools6", "libtirpc3", "libusb-1.0-0",
                        "fonts-dseg", "fonts-wqy-microhei"]:
            self.assertIn(package, depends)

    def test_layout(self):
        usr = os.path.join(self.root, "usr")
        program = os.path.join(usr, "bin", "korvata")
        self.assertTrue(os.path.islink(program))
        self.assertEqual(os.path.realpath(program),
                         os.path.realpath(os.path.join(usr, "lib", "korvata", "korvata")))
        self.assertTrue(os.path.isfile(os.path.join(usr, "lib", "korvata", "FrontPanel.xml")))
        self.assertTrue(os.access(os.path.join(usr, "bin", "korvata-sim"), os.X_OK))
        self.assertTrue(os.path.isfile(
            os.path.join(usr, "share", "icons", "hicolor", "256x256", "apps", "korvata.png")))
        self.assertTrue(os.path.isfile(
            os.path.join(self.root, "etc", "udev", "rules.d", "70-korvata-usbtmc.rules")))
        run("desktop-file-validate", os.path.join(usr, "share", "applications", "korvata.desktop"))

    def test_a_c_program_uses_the_visa_library(self):
        usr = os.path.join(self.root, "usr")
        source = os.path.join(self.work, "client.c")
        with open(source, "w", encoding="ascii") as out:
            out.write(VISA_CLIENT)
        pkgconfig = os.path.join(usr, "lib", "pkgconfig")
        flags = run("pkg-config", "--define-prefix", "--cflags", "--libs", "korvata-visa",
                    env=dict(os.environ, PKG_CONFIG_PATH=pkgconfig)).stdout.split()
        client = os.path.join(self.work, "client")
        run("cc", "-o", client, source, *flags)
        result = run(client, env=dict(os.environ, KORVATA_VISA_SIMULATE="1",
                                      LD_LIBRARY_PATH=os.path.join(usr, "lib")))
        name, identity = result.stdout.split("|")
        self.assertTrue(name.startswith("USB0::"), name)
        self.assertGreater(len(identity.split(",")), 3, identity)

    def test_the_logger_with_its_manual_page_and_completion(self):
        usr = os.path.join(self.root, "usr")
        logger = os.path.join(usr, "bin", "korvata-log")
        result = run(logger, "-n", "3", "USB?*INSTR",
                     env=dict(os.environ, KORVATA_VISA_SIMULATE="1"))
        lines = result.stdout.splitlines()
        self.assertEqual(lines[0], "time,seconds,function,value,unit,range")
        self.assertEqual(len(lines), 4)
        # It loads no Qt library.
        needed = run("objdump", "-p", logger).stdout
        self.assertNotIn("Qt", needed)
        with gzip.open(os.path.join(usr, "share", "man", "man1", "korvata-log.1.gz"),
                       "rt", encoding="utf-8") as page:
            self.assertIn(".SH EXIT STATUS", page.read())
        completion = os.path.join(usr, "share", "bash-completion", "completions", "korvata-log")
        words = run("bash", "-c", f"source {completion}; COMP_WORDS=(korvata-log --func); "
                    "COMP_CWORD=1; _korvata_log; echo ${COMPREPLY[@]}").stdout.split()
        self.assertEqual(words, ["--function"])

    def test_the_unpacked_program_starts(self):
        with ui.Xvfb() as display:
            app = ui.Korvata(os.path.join(self.root, "usr", "bin", "korvata"), display.name)
            try:
                self.assertTrue(app.alive())
                self.assertEqual(app.geometry()[2], 800)
                self.assertEqual(app.quit(), 0)
            finally:
                app.kill()


if __name__ == "__main__":
    unittest.main(verbosity=2)
