"""The Debian package as a technician receives it: built with CPack, unpacked, every file where it
belongs, the programs run, and lintian's verdict (which also wants the copyright and changelog)."""

import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

BUILD, VERSION = sys.argv[1:3]
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
NO_DISPLAY = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}


def png_size(path):
    with open(path, "rb") as png:
        header = png.read(24)
    if header[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError(f"{path} is not a PNG")
    return struct.unpack(">II", header[16:24])


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="velmaro-package-test-")
        built = subprocess.run(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                                "-B", cls.work], capture_output=True, text=True, timeout=300)
        if built.returncode != 0:
            shutil.rmtree(cls.work)
            raise AssertionError(f"cpack failed:\n{built.stdout}\n{built.stderr}")
        debs = [name for name in os.listdir(cls.work) if name.endswith(".deb")]
        assert len(debs) == 1, debs
        cls.deb = os.path.join(cls.work, debs[0])
        cls.root = os.path.join(cls.work, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.root, "usr", *parts)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", self.deb, name], capture_output=True,
                              text=True, check=True).stdout.strip()

    def test_name_version_and_libraries_found_by_shlibdeps(self):
        self.assertEqual(os.path.basename(self.deb), f"velmaro_{VERSION}_{self.field('Architecture')}.deb")
        self.assertEqual(self.field("Version"), VERSION)
        depends = self.field("Depends")
        for library in ("libqt6widgets6", "libqt6serialport6", "libqt6charts6", "libasound2",
                        "libc6"):
            self.assertIn(library, depends)

    def test_programs_run_from_the_unpacked_tree_without_a_display(self):
        for program in ("velmaro", "velmaro-sim", "velmaro-report", "velmaro-plant"):
            self.assertTrue(os.access(self.path("bin", program), os.X_OK), program)
        version = subprocess.run([self.path("bin", "velmaro"), "--version"], env=NO_DISPLAY,
                                 capture_output=True, text=True, timeout=30)
        self.assertEqual((version.returncode, version.stdout), (0, f"velmaro {VERSION}\n"),
                         version.stderr)
        shown = subprocess.run([self.path("bin", "velmaro-sim"), "--help"], env=NO_DISPLAY,
                               capture_output=True, text=True, timeout=30)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        self.assertIn("--port-dir <DIR>", shown.stdout)
        # The report draws offscreen: it runs with no display at all.
        with tempfile.TemporaryDirectory() as folder:
            log = os.path.join(folder, "Log Complete.txt")
            with open(log, "wb") as empty:
                empty.write(b"")
            made = subprocess.run([self.path("bin", "velmaro-report"), log], env=NO_DISPLAY,
                                  capture_output=True, text=True, timeout=60)
            self.assertEqual(made.returncode, 0, made.stderr)
            self.assertTrue(os.path.exists(os.path.join(folder, "Log Complete.pdf")))

    def test_desktop_entry_names_the_program_and_its_icon(self):
        with open(self.path("share", "applications", "velmaro.desktop")) as entry:
            lines = entry.read().splitlines()
        self.assertEqual(lines[0], "[Desktop Entry]")
        keys = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
        self.assertTrue(os.path.exists(self.path("bin", keys["Exec"].split()[0])))
        self.assertEqual(keys["Icon"], "velmaro")
        self.assertIn("Utility", keys["Categories"].split(";"))

    def test_icon_at_every_size_of_the_theme(self):
        for size in ICON_SIZES:
            icon = self.path("share", "icons", "hicolor", f"{size}x{size}", "apps", "velmaro.png")
            self.assertEqual(png_size(icon), (size, size), icon)

    def test_man_pages_come_from_the_programs_help(self):
        for program, option in (("velmaro", "ports"), ("velmaro-sim", "port-dir"),
                                ("velmaro-report", "cam"), ("velmaro-plant", "listen")):
            with gzip.open(self.path("share", "man", "man1", f"{program}.1.gz"), "rt") as page:
                text = page.read()
            self.assertIn(f'.TH {program.upper()} "1"', text)
            self.assertIn(VERSION, text)
            self.assertIn(f"\\-\\-{option.replace('-', chr(92) + '-')}", text)

    def test_plant_service_runs_unprivileged_from_its_settings_and_is_not_enabled(self):
        with open(os.path.join(self.root, "lib", "systemd", "system",
                               "velmaro-plant.service")) as unit:
            lines = unit.read().splitlines()
        self.assertIn("EnvironmentFile=-/etc/default/velmaro-plant", lines)
        self.assertIn("DynamicUser=yes", lines)
        self.assertTrue(any(line.startswith("ExecStart=/usr/bin/velmaro-plant ")
                            for line in lines))
        listing = subprocess.run(["dpkg-deb", "-c", self.deb], capture_output=True, text=True,
                                 check=True).stdout.splitlines()
        settings = [line.split() for line in listing
                    if line.endswith(" ./etc/default/velmaro-plant")]
        self.assertEqual([row[:2] for row in settings], [["-rw-------", "root/root"]])
        control = subprocess.run(["dpkg-deb", "-I", self.deb], capture_output=True, text=True,
                                 check=True).stdout
        self.assertIn("conffiles", control)
        self.assertNotIn("postinst", control)  # nothing enables or starts it

    def test_lintian_finds_no_error(self):
        checked = subprocess.run(["lintian", "--fail-on", "error", "--display-info", self.deb],
                                 capture_output=True, text=True, timeout=300)
        print(checked.stdout, checked.stderr)
        self.assertEqual(checked.returncode, 0, checked.stdout)
        self.assertNotIn("\nE: ", "\n" + checked.stdout)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
