"""Calibration records in the real program under Xvfb against the simulator: every cam table
saved with "Salva Valori" is kept once per change, with the lens set on the station, and comes
back byte for byte through velmaro-report; a run started afterwards carries the same lens."""

import os
import re
import sys
import unittest

from desktop import ABORT, Desktop, main, pdf_words, read_wire_log, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS, REPORT = sys.argv[1:5]

SALVA = twips_centre(9360, 120, 1575, 855)
LIST_LEFT, LIST_TOP = twips_centre(11160, 120, 0, 0)
# The "Pos Zoom 1" column, where a click on an unrecorded row replays nothing.
ZOOM1_X = LIST_LEFT + 1 + twips_centre(800, 0, 1100, 0)[0]


class CamRecords(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.home = self.desktop.folder("home")
        self.drive = os.path.join(self.home, "drive-c")
        os.makedirs(self.drive)
        self.desktop.env.update(XDG_DATA_HOME=os.path.join(self.home, "data"),
                                XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                                VELMARO_DRIVE_C=self.drive)
        self.desktop.env.pop("VELMARO_RUNS_DB", None)

    def report(self, *arguments):
        return self.desktop.run(REPORT, *arguments, cwd=self.home)

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
        self.desktop.xdotool("key", "Home")
        at = 1
        for row in rows:
            if row > at:
                self.desktop.xdotool("key", *["Down"] * (row - at))
            at = row
            self.desktop.xdotool("key", "space")

    def save(self, main):
        self.desktop.click(main, *SALVA)

    def test_each_changed_table_is_kept_once_with_the_lens_and_comes_back_byte_for_byte(self):
        given = self.report("--lens", "L-4711")
        self.assertEqual(given.returncode, 0, given.stderr)
        program, main, log = self.desktop.open_lens(PROGRAM, SIMULATOR, 6, ("--time-scale", "4"),
                                                  cwd=self.home)
        self.tick(main, 1, 2)
        self.save(main)
        camma = os.path.join(self.drive, "Camma.txt")
        wait_until(lambda: len(self.kept()) == 1, what="the first table kept")
        with open(camma, "rb") as file:
            first = file.read()

        # Saved again unchanged: no new record. The keeper takes the saves in order, so once the
        # changed table is kept the unchanged one has been dealt with.
        self.save(main)
        self.tick(main, 3)
        self.save(main)
        kept = wait_until(lambda: len(k := self.kept()) >= 2 and k, what="the changed table kept")
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

        # A run started now carries the lens too.
        self.desktop.start_full_stroke(main)
        wait_until(lambda: "zoom = 500" in read_wire_log(log), what="the run's first move")
        self.desktop.click(main, *ABORT)
        runs = wait_until(lambda: (r := self.report("--runs", "--local")).returncode == 0
                          and "1 run(s)" in r.stdout and r.stdout, what="the run stored")
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
        self.desktop.answer("Errore")
        self.assertIsNone(program.poll())


if __name__ == "__main__":
    main()
