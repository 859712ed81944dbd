"""The Debian packages installed into a clean, minimal Debian system, as a
user installs them: a fresh debootstrap tree (minbase), the .deb files
copied in and installed with apt inside it, so that the archive resolves
every dependency the packages declare (and only those: no recommends).
There korvata starts under Xvfb to its first frame and shows the simulated
meter's readings, korvata-sim answers a C program built against
libkorvata-visa-dev with pkg-config, and then the packages are purged and
nothing of them is left.

The pristine tree is kept as a tarball in the cache folder
($XDG_CACHE_HOME or ~/.cache, then korvata/debian-chroot/), with the .debs
and package lists apt fetched, so that only the first run downloads a
system; every run unpacks a fresh copy into a temporary folder and deletes
it at the end, after unmounting what it mounted there (however it ends).

Usage: test_clean_system.py BUILD_DIR    (as root: it mounts and chroots)
"""

import fcntl
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import korvata_ui as ui  # noqa: E402
import test_processes  # noqa: E402  (tests/support, on the path through korvata_ui)
from sim_ready import ports, read_until_ready  # noqa: E402

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else ""
SUITE = "bookworm"
MIRROR = "http://deb.debian.org/debian"
PACKAGES = ["korvata", "korvata-sim", "libkorvata-visa0", "libkorvata-visa-dev"]
# What the C program is built with inside the clean system.
BUILD_TOOLS = ["gcc", "libc6-dev", "pkg-config"]
CACHE = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                     "korvata", "debian-chroot")

QUERY = r"""
#include <stdio.h>
#include <visa.h>

int main(int argc, char** argv) {
    ViSession rm, vi;
    ViUInt32 count = 0;
    char reply[256];
    if (argc != 2) return 2;
    if (viOpenDefaultRM(&rm) < VI_SUCCESS) return 3;
    if (viOpen(rm, argv[1], VI_NULL, VI_NULL, &vi) < VI_SUCCESS) return 4;
    if (viWrite(vi, (ViConstBuf)"*IDN?\n", 6, &count) < VI_SUCCESS) return 5;
    if (viRead(vi, (ViBuf)reply, sizeof reply - 1, &count) < VI_SUCCESS) return 6;
    reply[count] = 0;
    fputs(reply, stdout);
    viClose(vi);
    viClose(rm);
    return 0;
}
"""


def run(*command, timeout=900, **options):
    result = subprocess.run(command, capture_output=True, text=True, timeout=timeout,
                            check=False, **options)
    if result.returncode != 0:
        raise AssertionError(f"{' '.join(command)} failed ({result.returncode}):\n"
                             f"{result.stdout[-4000:]}{result.stderr[-4000:]}")
    return result.stdout


def pristine_tarball():
    """The minimal tree of SUITE as a tarball, made with debootstrap the first
    time (under a lock, so that two runs do not both make it)."""
    os.makedirs(CACHE, exist_ok=True)
    tarball = os.path.join(CACHE, f"{SUITE}-minbase.tar")
    with open(os.path.join(CACHE, f"{SUITE}.lock"), "w", encoding="ascii") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(tarball):
            tree = tempfile.mkdtemp(prefix=f"{SUITE}-", dir=CACHE)
            try:
                run("debootstrap", "--variant=minbase", SUITE, tree, MIRROR, timeout=1500)
                run("tar", "-C", tree, "--numeric-owner", "-cf", tarball + ".part", ".")
                os.rename(tarball + ".part", tarball)
            finally:
                shutil.rmtree(tree, ignore_errors=True)
    return tarball


def mounts_under(root):
    """The mount points at or below root, deepest first."""
    found = []
    with open("/proc/self/mounts", encoding="utf-8") as table:
        for line in table:
            point = line.split()[1].replace("\\040", " ")
            if point == root or point.startswith(root + "/"):
                found.append(point)
    return sorted(found, key=len, reverse=True)


class CleanSystem(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.started = time.monotonic()
        cls.work = tempfile.mkdtemp(prefix="korvata-clean-system-")
        cls.root = os.path.join(cls.work, "root")
        try:
            cls._prepare()
        except BaseException:
            cls._clean_up()
            raise

    @classmethod
    def _prepare(cls):
        debs = os.path.join(cls.work, "debs")
        run("cpack", "-G", "DEB", "-B", debs, "--config", os.path.join(BUILD, "CPackConfig.cmake"))
        cls.debs = sorted(glob.glob(os.path.join(debs, "*.deb")))
        if len(cls.debs) != len(PACKAGES):
            raise AssertionError(f"cpack made {cls.debs}")
        tarball = pristine_tarball()
        os.makedirs(cls.root)
        run("tar", "-C", cls.root, "--numeric-owner", "-xpf", tarball)
        # What apt fetched in earlier runs (it checks and refreshes it).
        archives = os.path.join(CACHE, f"{SUITE}-apt-archives")
        lists = os.path.join(CACHE, f"{SUITE}-apt-lists")
        os.makedirs(os.path.join(archives, "partial"), exist_ok=True)
        os.makedirs(os.path.join(lists, "partial"), exist_ok=True)
        cls.mount("proc", "/proc", "-t", "proc")
        cls.mount("/dev", "/dev", "--bind")
        cls.mount(archives, "/var/cache/apt/archives", "--bind")
        cls.mount(lists, "/var/lib/apt/lists", "--bind")
        # The X server runs outside; the program reaches it by its socket.
        os.makedirs("/tmp/.X11-unix", mode=0o1777, exist_ok=True)
        cls.mount("/tmp/.X11-unix", "/tmp/.X11-unix", "--bind")
        shutil.copy("/etc/resolv.conf", os.path.join(cls.root, "etc", "resolv.conf"))
        # No service starts inside; dpkg need not sync every file.
        cls.write("/usr/sbin/policy-rc.d", "#!/bin/sh\nexit 101\n", mode=0o755)
        cls.write("/etc/dpkg/dpkg.cfg.d/unsafe-io", "force-unsafe-io\n")
        inside = "/tmp/debs"
        os.makedirs(cls.path(inside))
        for deb in cls.debs:
            shutil.copy(deb, cls.path(inside))
        cls.chroot("apt-get", "update")
        cls.chroot("apt-get", "install", "-y", "--no-install-recommends", *BUILD_TOOLS,
                   *[f"{inside}/{os.path.basename(deb)}" for deb in cls.debs])
        cls.installed_at = time.monotonic()

    @classmethod
    def tearDownClass(cls):
        cls._clean_up()
        print(f"\nclean system: {time.monotonic() - cls.started:.0f} s in all", file=sys.stderr)

    @classmethod
    def _clean_up(cls):
        for point in mounts_under(cls.root):
            if subprocess.run(["umount", point], check=False).returncode != 0:
                subprocess.run(["umount", "-l", point], check=False)
        left = mounts_under(cls.root)
        if left:
            # Never delete through a mount: /dev and the caches are the host's.
            raise RuntimeError(f"still mounted, {cls.work} kept: {left}")
        shutil.rmtree(cls.work, ignore_errors=True)

    # ---- Inside the tree ----------------------------------------------------

    @classmethod
    def path(cls, inside):
        return os.path.join(cls.root, inside.lstrip("/"))

    @classmethod
    def write(cls, inside, text, mode=0o644):
        os.makedirs(os.path.dirname(cls.path(inside)), exist_ok=True)
        with open(cls.path(inside), "w", encoding="utf-8") as out:
            out.write(text)
        os.chmod(cls.path(inside), mode)

    @classmethod
    def mount(cls, source, inside, *how):
        os.makedirs(cls.path(inside), exist_ok=True)
        run("mount", *how, source, cls.path(inside))

    @classmethod
    def chroot(cls, *command, timeout=900):
        environment = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": "/root",
                       "LC_ALL": "C.UTF-8", "DEBIAN_FRONTEND": "noninteractive"}
        return run("chroot", cls.root, *command, timeout=timeout, env=environment)

    def linker_knows(self, name):
        """The lines of the dynamic linker's cache that name name."""
        return [line for line in self.chroot("ldconfig", "-p").splitlines() if name in line]

    # ---- The checks -----------------------------------------------------------

    def test_1_installed_with_the_library_known_to_the_linker(self):
        status = self.chroot("dpkg-query", "-W", "-f", "${Package} ${Status}\n", *PACKAGES)
        self.assertEqual(status.count("install ok installed"), len(PACKAGES), status)
        # The ldconfig trigger ran: the library is found by its SONAME.
        self.assertEqual(len(self.linker_knows("libkorvata-visa.so.0 ")), 1)
        self.assertTrue(os.path.exists(
            self.path("/usr/lib/udev/rules.d/70-korvata-usbtmc.rules")))

    def test_2_korvata_shows_the_simulated_meter(self):
        wrapper = os.path.join(self.work, "korvata-in-chroot")
        with open(wrapper, "w", encoding="ascii") as script:
            script.write(f"#!/bin/sh\nexec chroot {self.root} /usr/bin/korvata \"$@\"\n")
        os.chmod(wrapper, 0o755)
        runtime = "/tmp/korvata-runtime"
        os.makedirs(self.path(runtime), mode=0o700, exist_ok=True)
        environment = {"KORVATA_VISA_SIMULATE": "1", "XDG_RUNTIME_DIR": runtime,
                       "XDG_CONFIG_HOME": runtime + "/config", "DBUS_SESSION_BUS_ADDRESS": ""}
        with ui.Xvfb() as display:
            app = ui.Korvata(wrapper, display.name, environment,
                             skin=self.path("/usr/lib/korvata/FrontPanel.xml"))
            try:
                # ui.Korvata waited for the first frame: the panel painted
                # under the menu bar.
                first = app.window_image()
                self.assertEqual(first.size[0], 800)
                colours = first.convert("RGB").getcolors(1 << 20)
                self.assertGreater(len(colours), 50, "the first frame is (almost) blank")
                app.choose(0, 0)  # Control > Connect
                app.wait_window("^Dialog$")
                app.key("Return")  # USBTMC: the simulated meter
                app.wait_gone("^Dialog$", timeout=30)
                # The readings appear: the panel's display changes.
                ui.wait_for(lambda: app.window_image().tobytes() != first.tobytes(), 30,
                            "the simulated meter's readings")
                self.assertEqual(app.quit(), 0, app.errors())
            except BaseException:
                sys.stderr.write(app.errors())
                app.kill()
                raise

    def test_3_a_c_program_built_with_pkg_config_queries_korvata_sim(self):
        self.write("/tmp/query.c", QUERY)
        flags = self.chroot("pkg-config", "--cflags", "--libs", "korvata-visa").split()
        self.chroot("cc", "-Wall", "-Werror", "-o", "/tmp/query", "/tmp/query.c", *flags)
        sim = test_processes.start(["chroot", self.root, "/usr/bin/korvata-sim", "--socket", "0"],
                                   stdout=subprocess.PIPE)
        try:
            port = ports(read_until_ready(sim))["socket"]
            # The installed library, found by the dynamic linker alone.
            reply = self.chroot("/tmp/query", f"TCPIP0::127.0.0.1::{port}::SOCKET", timeout=60)
        finally:
            test_processes.stop(sim)
            sim.stdout.close()
        self.assertRegex(reply, r"^KORVATA,[^,]+,[^,]+,[^,]+")

    def test_4_purged_nothing_is_left(self):
        paths = {package: self.chroot("dpkg", "-L", package).split("\n") for package in PACKAGES}
        owned = [p for listed in paths.values() for p in listed if p.strip() not in ("", "/.")]
        files = [p for p in owned if not os.path.isdir(self.path(p))]
        folders = [p for p in owned if os.path.isdir(self.path(p))]
        self.assertIn("/usr/lib/korvata/korvata", files)
        self.chroot("apt-get", "purge", "-y", *PACKAGES)
        status = subprocess.run(["chroot", self.root, "dpkg-query", "-W", *PACKAGES],
                                capture_output=True, text=True, check=False)
        self.assertEqual(status.stdout.strip(), "", "still known to dpkg")
        self.assertEqual([p for p in files if os.path.lexists(self.path(p))], [])
        # A folder that remains belongs to another package too (/usr/bin).
        remaining = [p for p in folders if os.path.isdir(self.path(p))]
        if remaining:
            shared = subprocess.run(["chroot", self.root, "dpkg-query", "-S", *remaining],
                                    capture_output=True, text=True, check=False).stdout
            owners = {line.split(": ", 1)[1] for line in shared.splitlines() if ": " in line}
            self.assertEqual([p for p in remaining if p not in owners], [])
        # The trigger ran again: the linker forgot the library.
        self.assertEqual(self.linker_knows("libkorvata-visa"), [])
        for package in PACKAGES:
            self.assertFalse(os.path.lexists(self.path(f"/usr/share/doc/{package}")), package)


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("skipped: needs root, to mount and chroot")
        sys.exit(77)
    unittest.main(verbosity=2)
