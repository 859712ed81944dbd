"""The Debian packages as a user gets them: built with cpack from the one
configuration, each checked by lintian (no error, no warning), each holding
its own files and none of another's, with the dependencies between them
declared; then unpacked together into a temporary folder (no system
install), a C program built against the VISA header, pkg-config file and
library, and the unpacked program started under Xvfb to its first frame.

Usage: test_package.py BUILD_DIR
"""

import glob
import gzip
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import korvata_ui as ui  # noqa: E402

BUILD = sys.argv.pop(1)
MULTIARCH = subprocess.run(["gcc", "-print-multiarch"], check=True, capture_output=True,
                           text=True).stdout.strip()
LIBDIR = f"usr/lib/{MULTIARCH}"
PACKAGES = ["korvata", "korvata-sim", "libkorvata-visa0", "libkorvata-visa-dev"]

# What each package must hold (paths in the package, without "./"); a path
# of one package found in another fails the split.
HOLDS = {
    "korvata": ["usr/bin/korvata", "usr/lib/korvata/korvata", "usr/lib/korvata/FrontPanel.xml",
                "usr/share/applications/korvata.desktop",
                "usr/share/icons/hicolor/256x256/apps/korvata.png",
                "usr/share/man/man1/korvata.1.gz", "usr/bin/korvata-log",
                "usr/share/man/man1/korvata-log.1.gz",
                "usr/share/bash-completion/completions/korvata-log"],
    "korvata-sim": ["usr/bin/korvata-sim", "usr/share/man/man1/korvata-sim.1.gz"],
    "libkorvata-visa0": [f"{LIBDIR}/libkorvata-visa.so.0", f"{LIBDIR}/libkorvata-visa.so.0.1.0",
                         "usr/lib/udev/rules.d/70-korvata-usbtmc.rules"],
    "libkorvata-visa-dev": ["usr/include/korvata-visa/visa.h", f"{LIBDIR}/libkorvata-visa.so",
                            f"{LIBDIR}/pkgconfig/korvata-visa.pc"],
}

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


def contents(deb):
    """The files and links in a package, as paths without "./" (no folders)."""
    listing = run("dpkg-deb", "-c", deb).stdout.splitlines()
    return {line.split(None, 5)[5].split(" -> ")[0].removeprefix("./")
            for line in listing if not line.startswith("d")}


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="korvata-package-")
        run("cpack", "-G", "DEB", "-B", cls.work, "--config",
            os.path.join(BUILD, "CPackConfig.cmake"))
        cls.debs = {}
        for deb in glob.glob(os.path.join(cls.work, "*.deb")):
            cls.debs[run("dpkg-deb", "-f", deb, "Package").stdout.strip()] = deb
        cls.version = run("dpkg-deb", "-f", cls.debs["korvata"], "Version").stdout.strip()
        # All of them unpacked into one tree, as if installed together.
        cls.root = os.path.join(cls.work, "root")
        for deb in cls.debs.values():
            run("dpkg-deb", "-x", deb, cls.root)

    def field(self, package, name):
        return run("dpkg-deb", "-f", self.debs[package], name).stdout.strip()

    def control_file(self, package, name):
        control = os.path.join(self.work, "control-" + package)
        if not os.path.isdir(control):
            run("dpkg-deb", "-e", self.debs[package], control)
        path = os.path.join(control, name)
        if not os.path.exists(path):
            return None
        with open(path, encoding="utf-8") as text:
            return text.read()

    # ---- The packages as Debian wants them ---------------------------------

    def test_lintian_finds_no_error_and_no_warning(self):
        self.assertEqual(sorted(self.debs), sorted(PACKAGES))
        result = subprocess.run(["lintian", "--fail-on", "error,warning", *self.debs.values()],
                                capture_output=True, text=True, check=False)
        tags = [line for line in result.stdout.splitlines() if re.match(r"[EW]: ", line)]
        self.assertEqual((result.returncode, tags), (0, []), result.stdout + result.stderr)

    def test_each_package_holds_its_own_files_and_none_of_another(self):
        held = {package: contents(deb) for package, deb in self.debs.items()}
        for package, paths in HOLDS.items():
            for path in paths:
                self.assertIn(path, held[package], package)
            self.assertEqual({f"usr/share/doc/{package}/copyright",
                              f"usr/share/doc/{package}/changelog.Debian.gz"}
                             - held[package], set(), package)
        for package, paths in held.items():
            for other, other_paths in held.items():
                if other != package:
                    self.assertEqual(paths & other_paths, set(), (package, other))
            # Nothing in /etc (conffiles the packages do not declare).
            self.assertEqual([p for p in paths if p.startswith("etc/")], [], package)
        for package, own in HOLDS.items():
            for other in PACKAGES:
                if other != package:
                    self.assertEqual(set(own) & held[other], set(), (package, other))

    def test_dependencies_between_the_packages(self):
        exact = f"libkorvata-visa0 (= {self.version})"
        korvata = self.field("korvata", "Depends")
        for package in ["libqt6widgets6", "libqt6uitools6", "libtirpc3", "libusb-1.0-0",
                        "fonts-dseg", "fonts-wqy-microhei", exact]:
            self.assertIn(package, korvata)
        # The simulator links neither Qt nor the VISA library.
        simulator = self.field("korvata-sim", "Depends")
        self.assertIn("libtirpc3", simulator)
        self.assertNotIn("libqt6", simulator)
        self.assertNotIn("libkorvata-visa0", simulator)
        self.assertIn(exact, self.field("libkorvata-visa-dev", "Depends"))
        library = self.field("libkorvata-visa0", "Depends")
        for package in ["libc6", "libtirpc3", "libusb-1.0-0", "libstdc++6"]:
            self.assertIn(package, library)

    def test_the_library_has_a_soname_and_an_ldconfig_trigger(self):
        library = os.path.join(self.root, LIBDIR, "libkorvata-visa.so.0.1.0")
        dynamic = run("readelf", "-d", library).stdout
        self.assertIn("Library soname: [libkorvata-visa.so.0]", dynamic)
        self.assertEqual(os.readlink(os.path.join(self.root, LIBDIR, "libkorvata-visa.so.0")),
                         "libkorvata-visa.so.0.1.0")
        self.assertEqual(os.readlink(os.path.join(self.root, LIBDIR, "libkorvata-visa.so")),
                         "libkorvata-visa.so.0")
        self.assertEqual(self.control_file("libkorvata-visa0", "triggers").split(),
                         ["activate-noawait", "ldconfig"])
        self.assertRegex(self.control_file("libkorvata-visa0", "shlibs"),
                         r"^libkorvata-visa 0 libkorvata-visa0 \(>= [0-9.]+\)\n$")
        for package in PACKAGES:
            for script in ["preinst", "postinst", "prerm", "postrm"]:
                self.assertIsNone(self.control_file(package, script), (package, script))

    def test_copyright_changelog_and_descriptions(self):
        for package in PACKAGES:
            doc = os.path.join(self.root, "usr", "share", "doc", package)
            with open(os.path.join(doc, "copyright"), encoding="utf-8") as copyright_file:
                text = copyright_file.read()
            self.assertTrue(text.startswith(
                "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
            self.assertIn("\nLicense: Expat\n Permission is hereby granted", text)
            with gzip.open(os.path.join(doc, "changelog.Debian.gz"), "rt",
                           encoding="utf-8") as changelog:
                self.assertTrue(changelog.readline().startswith(f"korvata ({self.version}) "))
            description = self.field(package, "Description").splitlines()
            self.assertGreater(len(description), 3, package)
            self.assertNotIn("localhost", self.field(package, "Maintainer"))

    def test_every_program_has_its_manual_page(self):
        bin_dir = os.path.join(self.root, "usr", "bin")
        programs = sorted(os.listdir(bin_dir))
        self.assertEqual(programs, ["korvata", "korvata-log", "korvata-sim"])
        for program in programs:
            page = os.path.join(self.root, "usr", "share", "man", "man1", program + ".1.gz")
            with open(page, "rb") as raw:
                # gzip -n: no name, no time stamp (bytes 4-7).
                header = raw.read(10)
            self.assertEqual((header[3] & 0x08, header[4:8]), (0, b"\0\0\0\0"), program)
            with gzip.open(page, "rt", encoding="utf-8") as text:
                self.assertIn(f".TH {program.upper()} 1", text.read())

    # ---- The unpacked files at work ---------------------------------------

    def test_layout(self):
        usr = os.path.join(self.root, "usr")
        program = os.path.join(usr, "bin", "korvata")
        self.assertTrue(os.path.islink(program))
        self.assertEqual(os.path.realpath(program),
                         os.path.realpath(os.path.join(usr, "lib", "korvata", "korvata")))
        self.assertTrue(os.access(os.path.join(usr, "bin", "korvata-sim"), os.X_OK))
        run("desktop-file-validate", os.path.join(usr, "share", "applications", "korvata.desktop"))

    def test_a_c_program_uses_the_visa_library(self):
        source = os.path.join(self.work, "client.c")
        with open(source, "w", encoding="ascii") as out:
            out.write(VISA_CLIENT)
        pkgconfig = os.path.join(self.root, LIBDIR, "pkgconfig")
        # The .pc file finds its prefix from where it lies (${pcfiledir}).
        flags = run("pkg-config", "--cflags", "--libs", "korvata-visa",
                    env=dict(os.environ, PKG_CONFIG_PATH=pkgconfig)).stdout.split()
        client = os.path.join(self.work, "client")
        run("cc", "-o", client, source, *flags)
        # It needs the library by its SONAME, found through the .so link.
        self.assertIn("Shared library: [libkorvata-visa.so.0]",
                      run("readelf", "-d", client).stdout)
        result = run(client, env=dict(os.environ, KORVATA_VISA_SIMULATE="1",
                                      LD_LIBRARY_PATH=os.path.join(self.root, LIBDIR)))
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
