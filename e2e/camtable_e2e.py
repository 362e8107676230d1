"""The real program under Xvfb against the simulator: the operator jogs Zoom 1, records the position
in the cam table, replays it, saves the table, clears the row and loads the table back."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from desktop import Desktop, read_wire_log, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

SERVICE_CODE = ["Escape", "u", "n", "v", "k", "n"]

# Where the operator points, in pixels of the main window.
JOG_PLUS_ZOOM1 = twips_centre(2160 + 120 + 870, 1320 + 300 + 3840, 660, 495)
SALVA = twips_centre(9360, 120, 1575, 855)
CARICA = twips_centre(9360, 3240, 1575, 855)
LIST_LEFT, LIST_TOP = twips_centre(11160, 120, 0, 0)
LIST_HEIGHT = 8535 // 15
# Inside the list's one-pixel frame: the check box column 300 twips wide, "F.L." 500, then
# "Pos Zoom 1" and "Pos Zoom 2" 1100 each.
CHECK_BOX_X = LIST_LEFT + 1 + twips_centre(0, 0, 300, 0)[0]
ZOOM1_X = LIST_LEFT + 1 + twips_centre(800, 0, 1100, 0)[0]
EMPTY_ZOOM2_X = LIST_LEFT + 1 + twips_centre(1900, 0, 0, 0)[0] + 4


class CamTable(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.drive = tempfile.mkdtemp(prefix="velmaro-drive-c-")
        self.addCleanup(shutil.rmtree, self.drive, ignore_errors=True)
        self.desktop.env["VELMARO_DRIVE_C"] = self.drive

    def click(self, point, button="1"):
        self.desktop.xdotool("mousemove", "--window", self.main, str(point[0]), str(point[1]),
                             "click", button)

    def lines_since(self, mark):
        return read_wire_log(self.log)[mark:]

    def answer_yes(self, question):
        """Confirms the box that asks `question` with its default button, Yes."""
        box = self.desktop.window("Conferma.")
        self.desktop.screenshot("root", question)
        time.sleep(0.3)
        self.desktop.xdotool("key", "--clearmodifiers", "Return")
        wait_until(lambda: not self.visible("Conferma."), what="the box to close")

    def visible(self, title):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                              env=self.desktop.env, capture_output=True, text=True).stdout.split()

    def selected_row_band(self):
        """The top and bottom pixel rows of the list's highlighted row, in window pixels, or None
        while no single row is highlighted."""
        x, y = self.origin()
        column = pixel_column(self.desktop.env, x + EMPTY_ZOOM2_X, y + LIST_TOP, LIST_HEIGHT)
        # The selection's blue, not the blue of the window or of a frame.
        band = [i for i, (r, g, b) in enumerate(column)
                if r < 90 and 100 < g < 180 and 150 < b < 240]
        if not band or band != list(range(band[0], band[-1] + 1)):
            return None
        return LIST_TOP + band[0], LIST_TOP + band[-1]

    def select_row(self, n):
        """Selects row n with the keyboard, which replays nothing, and gives its middle pixel row.
        The list's first row is found where Home puts the selection; every row is as high as
        the selection band."""
        self.click((ZOOM1_X, LIST_TOP + 60))
        clicked = wait_until(self.selected_row_band, what="the clicked row to be selected")
        self.desktop.xdotool("key", "Home")
        top, bottom = wait_until(lambda: (band := self.selected_row_band()) != clicked and band,
                                 what="the first row to be selected")
        height = bottom - top + 1
        self.desktop.xdotool("key", *["Down"] * (n - 1))
        wanted = (top + (n - 1) * height, bottom + (n - 1) * height)
        wait_until(lambda: self.selected_row_band() == wanted, what=f"row {n} to be selected")
        return (wanted[0] + wanted[1]) // 2

    def origin(self):
        geometry = self.desktop.xdotool("getwindowgeometry", "--shell", self.main)
        values = dict(line.split("=", 1) for line in geometry.splitlines())
        return int(values["X"]), int(values["Y"])

    def test_a_jogged_position_is_recorded_replayed_saved_and_loaded_back(self):
        self.log = self.desktop.start_simulator(SIMULATOR, 4)
        program = self.desktop.start_program(PROGRAM)
        self.desktop.window("T7342 Galil V1.0")
        self.desktop.xdotool("key", "--clearmodifiers", "Down")
        self.main = self.desktop.window("T7342 Galil")
        wait_until(lambda: "PAW=focusmin;BGW" in read_wire_log(self.log), what="the start-up")
        self.desktop.xdotool("key", "--clearmodifiers", *SERVICE_CODE)
        wait_until(lambda: self.desktop.window_size(self.main) == (987, 767),
                   what="the full window")

        # Jog Zoom 1 forward for a moment; the readout goes on reading where it is.
        self.desktop.xdotool("mousemove", "--window", self.main, *map(str, JOG_PLUS_ZOOM1),
                             "mousedown", "1")
        time.sleep(1.0)
        self.desktop.xdotool("mouseup", "1")
        wait_until(lambda: "STX" in read_wire_log(self.log), what="the jog to stop")
        mark = len(read_wire_log(self.log))
        wait_until(lambda: self.lines_since(mark).count("TPX") >= 5,
                   what="the readout after the jog")

        # Row 10 (120 mm): the keyboard finds it, a click on its box ticks it.
        row10 = self.select_row(10)
        mark = len(read_wire_log(self.log))
        self.click((CHECK_BOX_X, row10))
        time.sleep(0.5)
        self.assertNotIn("BGXY", self.lines_since(mark), "ticking moves nothing")

        self.click((ZOOM1_X, row10))
        replay = wait_until(lambda: [line for line in self.lines_since(mark)
                                     if not line.startswith("TP")][-4:]
                            if "BGXY" in self.lines_since(mark) else None,
                            what="the replay lines")
        self.assertEqual(replay[0], "SP1000,1000")
        self.assertEqual(replay[3], "BGXY")
        zoom1 = int(replay[1].removeprefix("PAX="))
        zoom2 = int(replay[2].removeprefix("PAY="))
        self.assertGreater(zoom1, 0, "Zoom 1 was jogged forward from 0")
        self.desktop.screenshot(self.main, "camtable-recorded.png")

        self.click(SALVA)
        path = os.path.join(self.drive, "Camma.txt")
        wait_until(lambda: os.path.exists(path), what="the cam table file")
        with open(path, "rb") as file:
            saved = file.read()
        lines = saved.split(b"\r\n")
        self.assertEqual(lines[-1], b"", "the last line ends in CR LF too")
        self.assertEqual(len(lines[:-1]), 86)
        self.assertNotIn(b"\n", b"".join(lines), "every line ends in CR LF")
        for n, line in enumerate(lines[:-1], start=1):
            focal = 75 + 5 * (n - 1)
            expected = f"{focal};{zoom1};{zoom2}" if n == 10 else f"{focal};;"
            self.assertEqual(line, expected.encode("ascii"))

        self.click((CHECK_BOX_X, row10))
        self.answer_yes("camtable-clear-question.png")
        mark = len(read_wire_log(self.log))
        self.click((ZOOM1_X, row10))
        time.sleep(0.5)
        self.assertNotIn("BGXY", self.lines_since(mark), "a cleared row replays nothing")
        self.desktop.screenshot(self.main, "camtable-cleared.png")

        self.click(CARICA)
        self.answer_yes("camtable-load-question.png")
        mark = len(read_wire_log(self.log))
        self.click((ZOOM1_X, row10))
        wait_until(lambda: "BGXY" in self.lines_since(mark), what="the replay of the loaded row")
        self.assertEqual([line for line in self.lines_since(mark) if not line.startswith("TP")],
                         ["SP1000,1000", f"PAX={zoom1}", f"PAY={zoom2}", "BGXY"])
        self.desktop.screenshot(self.main, "camtable-loaded.png")
        with open(path, "rb") as file:
            self.assertEqual(file.read(), saved, "loading leaves the file alone")
        self.assertIsNone(program.poll(), "the program is still running")


def pixel_column(env, x, y, height):
    """The colours of a one-pixel-wide column of the screen, top to bottom."""
    ppm = subprocess.run(
        ["import", "-window", "root", "-crop", f"1x{height}+{x}+{y}", "-depth", "8", "ppm:-"],
        env=env, capture_output=True, check=True, timeout=20).stdout
    # P6 header: magic, width, height, maximum value, each followed by one blank.
    fields, at = [], 0
    while len(fields) < 4:
        while ppm[at:at + 1].isspace():
            at += 1
        end = at
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[at:end])
        at = end
    data = ppm[at + 1:]
    return [tuple(data[i:i + 3]) for i in range(0, len(data) - 2, 3)]


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
