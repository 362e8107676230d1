"""Calibration records in the real program under Xvfb against the simulator: every cam table
saved with "Salva Valori" is kept once per change, with the lens set on the station, and comes
back byte for byte through velmaro-report; a run started afterwards carries the same lens."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from desktop import ABORT, FULL_STROKE_BOX, START, Desktop, pdf_words, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS, REPORT = sys.argv[1:5]

SALVA = twips_centre(9360, 120, 1575, 855)
LIST_LEFT, LIST_TOP = twips_centre(11160, 120, 0, 0)
# The "Pos Zoom 1" column, where a click on an unrecorded row replays nothing.
ZOOM1_X = LIST_LEFT + 1 + twips_centre(800, 0, 1100, 0)[0]


class CamRecords(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.home = tempfile.mkdtemp(prefix="velmaro-cams-home-")
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)
        self.drive = os.path.join(self.home, "drive-c")
        os.makedirs(self.drive)
        self.desktop.env.update(XDG_DATA_HOME=os.path.join(self.home, "data"),
                                XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                                VELMARO_DRIVE_C=self.drive)
        self.desktop.env.pop("VELMARO_RUNS_DB", None)

    def report(self, *arguments):
        environment = dict(os.environ, XDG_DATA_HOME=self.desktop.env["XDG_DATA_HOME"],
                           XDG_CONFIG_HOME=self.desktop.env["XDG_CONFIG_HOME"])
        environment.pop("VELMARO_RUNS_DB", None)
        return subprocess.run([REPORT, *arguments], cwd=self.home, env=environment,
                              capture_output=True, text=True, timeout=60)

    def kept(self):
        """The kept tables as --cams lists them, newest first: (id, serial, rows)."""
        listed = self.report("--cams", "--local")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        return [(m[0], m[1], int(m[2])) for m in re.findall(
            r"^([0-9a-f]{8})  \S+ \S+  .*?  (\S+) +(\d+) of 86$", listed.stdout, re.M)]

    def tick(self, main, *rows):
        """Ticks the list's `rows` with the keyboard, as the space bar does on the current row:
        each records what the readout shows."""
        self.desktop.mouse(main, (ZOOM1_X, LIST_TOP + 300), "click", "1")
        time.sleep(0.3)
        self.desktop.xdotool("key", "Home")
        at = 1
        for row in rows:
            if row > at:
                self.desktop.xdotool("key", *["Down"] * (row - at))
            at = row
            self.desktop.xdotool("key", "space")
            time.sleep(0.2)

    def save(self, main):
        self.desktop.click(main, *SALVA)

    def test_each_changed_table_is_kept_once_with_the_lens_and_comes_back_byte_for_byte(self):
        self.assertEqual(self.report("--lens", " L-1").returncode, 2, "a blank at its start")
        given = self.report("--lens", "L-4711")
        self.assertEqual(given.returncode, 0, given.stderr)
        self.assertEqual(self.report("--lens").stdout.strip(), "L-4711")

        program, main, _ = self.desktop.open_lens(PROGRAM, SIMULATOR, 6, ("--time-scale", "4"),
                                                  cwd=self.home)
        self.tick(main, 1, 2)
        self.save(main)
        camma = os.path.join(self.drive, "Camma.txt")
        wait_until(lambda: len(self.kept()) == 1, timeout=20, what="the first table kept")
        with open(camma, "rb") as file:
            first = file.read()

        # Saved again unchanged: no new record. The keeper takes the saves in order, so once the
        # changed table is kept the unchanged one has been dealt with.
        self.save(main)
        time.sleep(0.5)
        self.tick(main, 3)
        self.save(main)
        kept = wait_until(lambda: len(k := self.kept()) >= 2 and k, timeout=20,
                          what="the changed table kept")
        self.desktop.screenshot(main, "camrecords-saved.png")
        self.assertEqual(len(kept), 2, kept)
        self.assertEqual([serial for _, serial, _ in kept], ["L-4711", "L-4711"])
        self.assertEqual([rows for _, _, rows in kept], [3, 2])
        with open(camma, "rb") as file:
            second = file.read()
        self.assertNotEqual(first, second)

        out = os.path.join(self.home, "restored.txt")
        written = self.report("--cam-record", "latest", "-o", out, "--local")
        self.assertEqual(written.returncode, 0, written.stderr)
        with open(out, "rb") as file:
            self.assertEqual(file.read(), second)
        self.report("--cam-record", kept[1][0], "-o", out, "--local")
        with open(out, "rb") as file:
            self.assertEqual(file.read(), first)

        checked = self.report("--cam-record", kept[0][0], "--check", "--local")
        self.assertEqual(checked.returncode, 1, checked.stdout + checked.stderr)
        self.assertIn("Rows recorded: 3 of 86", checked.stdout)
        differ = self.report("--cam-diff", kept[1][0], kept[0][0], "--local")
        self.assertEqual(differ.returncode, 1, differ.stderr)
        self.assertEqual(len(differ.stdout.splitlines()), 1, differ.stdout)
        self.assertTrue(differ.stdout.startswith(" 85 mm"), differ.stdout)

        # A run started now carries the lens too.
        self.desktop.click(main, *FULL_STROKE_BOX)
        time.sleep(0.3)
        self.desktop.click(main, *START)
        time.sleep(2)
        self.desktop.click(main, *ABORT)
        runs = wait_until(lambda: (r := self.report("--runs", "--local")).returncode == 0
                          and "1 run(s)" in r.stdout and r.stdout, timeout=30,
                          what="the run stored")
        self.assertIn("L-4711", runs)
        self.assertIsNone(program.poll())

        # Its report shows the lens's table as it stood when the run began.
        pdf = os.path.join(self.home, "run.pdf")
        made = self.report("--run", "latest", "-o", pdf, "--local")
        self.assertEqual(made.returncode, 0, made.stderr)
        cam_page = pdf_words(pdf, page=4)
        self.assertRegex(cam_page, rf"Cam table {kept[0][0]}[0-9a-f-]{{28}}, saved ")

    def test_a_table_that_cannot_be_kept_is_still_saved_and_one_box_says_so(self):
        # A folder where the station's database should be: nothing can be kept.
        os.makedirs(os.path.join(self.home, "data", "velmaro", "runs.sqlite"))
        program, main, _ = self.desktop.open_lens(PROGRAM, SIMULATOR, 7, cwd=self.home)
        self.tick(main, 1)
        self.save(main)
        self.desktop.window("Errore")
        self.desktop.screenshot("root", "camrecords-not-kept.png")
        with open(os.path.join(self.drive, "Camma.txt"), "rb") as file:
            self.assertTrue(file.read().startswith(b"75;0;0\r\n80;;\r\n"))
        time.sleep(0.3)
        self.desktop.xdotool("key", "--clearmodifiers", "Return")
        wait_until(lambda: not self.desktop.shown("^Errore$"), what="the box to close")
        self.assertIsNone(program.poll())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
