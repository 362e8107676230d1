"""The operator jogs Zoom 1, records, replays, saves, clears and loads back a cam table row."""

import os
import sys
import unittest

from desktop import Desktop, main, read_wire_log, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

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
        self.drive = self.desktop.folder("drive-c")
        self.desktop.env["VELMARO_DRIVE_C"] = self.drive
        # Each save is kept as a record too: in the test's own data folder, not the user's.
        self.desktop.env["XDG_DATA_HOME"] = os.path.join(self.drive, "data")

    def click(self, x, y):
        self.desktop.click(self.main, x, y)

    def lines_since(self, mark):
        return read_wire_log(self.log)[mark:]

    def moves_since(self, mark):
        return [line for line in self.lines_since(mark) if not line.startswith("TP")]

    def answer_yes(self, question):
        """Confirms the box that asks `question` with its default button, Yes."""
        self.desktop.window("Conferma.")
        self.desktop.screenshot("root", question)
        self.desktop.answer("Conferma.")

    def selected_row_band(self):
        """The highlighted row's top and bottom pixel rows on the window; None but for one row."""
        x, y = self.desktop.geometry(self.main)[:2]
        column = self.desktop.pixels((x + EMPTY_ZOOM2_X, y + LIST_TOP, 1, LIST_HEIGHT))
        # The selection's blue, not the blue of the window or of a frame.
        band = [i for i, (r, g, b) in enumerate(column)
                if r < 90 and 100 < g < 180 and 150 < b < 240]
        if not band or band != list(range(band[0], band[-1] + 1)):
            return None
        return LIST_TOP + band[0], LIST_TOP + band[-1]

    def select_row(self, n):
        """Selects row n with the keyboard (which replays nothing): its middle pixel row, found
        from where Home puts the selection, every row as high as the selection band."""
        self.click(ZOOM1_X, LIST_TOP + 60)
        clicked = wait_until(self.selected_row_band, what="the clicked row to be selected")
        self.desktop.xdotool("key", "Home")
        top, bottom = wait_until(lambda: (band := self.selected_row_band()) != clicked and band,
                                 what="the first row to be selected")
        height = bottom - top + 1
        self.desktop.xdotool("key", *["Down"] * (n - 1))
        wanted = (top + (n - 1) * height, bottom + (n - 1) * height)
        wait_until(lambda: self.selected_row_band() == wanted, what=f"row {n} to be selected")
        return (wanted[0] + wanted[1]) // 2

    def test_a_jogged_position_is_recorded_replayed_saved_and_loaded_back(self):
        program, self.main, self.log = self.desktop.open_lens(PROGRAM, SIMULATOR, 4)

        # Jog Zoom 1 forward while the button is held; the readout follows it.
        mark = len(read_wire_log(self.log))
        def readout_during_jog():
            lines = self.lines_since(mark)
            return "BGX" in lines and lines[lines.index("BGX"):].count("TPX") >= 2
        self.desktop.mouse(self.main, JOG_PLUS_ZOOM1, "mousedown", "1")
        wait_until(readout_during_jog, what="the readout during the jog")
        self.desktop.screenshot(self.main, "main-full-readout.png")
        self.desktop.xdotool("mouseup", "1")
        wait_until(lambda: self.moves_since(mark) == ["JGX=1000", "BGX", "STX"],
                   what="the jog and its stop")
        mark = len(read_wire_log(self.log))
        wait_until(lambda: self.lines_since(mark).count("TPX") >= 5,
                   what="the readout after the jog")

        # Row 10 (120 mm): the keyboard finds it, a click on its box ticks it.
        row10 = self.select_row(10)
        mark = len(read_wire_log(self.log))
        self.click(CHECK_BOX_X, row10)
        # Ticking moves nothing: the replay that follows is all that is sent.
        self.click(ZOOM1_X, row10)
        replay = wait_until(lambda: "BGXY" in self.lines_since(mark) and self.moves_since(mark),
                            what="the replay lines")
        self.assertEqual(len(replay), 4, replay)
        self.assertEqual(replay[0], "SP1000,1000")
        self.assertEqual(replay[3], "BGXY")
        zoom1 = int(replay[1].removeprefix("PAX="))
        zoom2 = int(replay[2].removeprefix("PAY="))
        self.assertGreater(zoom1, 0, "Zoom 1 was jogged forward from 0")
        self.desktop.screenshot(self.main, "camtable-recorded.png")

        self.click(*SALVA)
        path = os.path.join(self.drive, "Camma.txt")
        wait_until(lambda: os.path.exists(path), what="the cam table file")
        with open(path, "rb") as file:
            saved = file.read()
        self.assertEqual(saved, "".join(f"{focal};{zoom1};{zoom2}\r\n" if focal == 120
                                        else f"{focal};;\r\n" for focal in range(75, 505, 5))
                         .encode("ascii"))

        self.click(CHECK_BOX_X, row10)
        self.answer_yes("camtable-clear-question.png")
        mark = len(read_wire_log(self.log))
        self.click(ZOOM1_X, row10)
        self.desktop.screenshot(self.main, "camtable-cleared.png")

        # A cleared row replays nothing: the replay of the loaded row is all that is sent.
        self.click(*CARICA)
        self.answer_yes("camtable-load-question.png")
        self.click(ZOOM1_X, row10)
        wait_until(lambda: "BGXY" in self.lines_since(mark), what="the replay of the loaded row")
        self.assertEqual(self.moves_since(mark),
                         ["SP1000,1000", f"PAX={zoom1}", f"PAY={zoom2}", "BGXY"])
        self.desktop.screenshot(self.main, "camtable-loaded.png")
        with open(path, "rb") as file:
            self.assertEqual(file.read(), saved, "loading leaves the file alone")
        self.assertIsNone(program.poll(), "the program is still running")


if __name__ == "__main__":
    main()
