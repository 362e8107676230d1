"""The preset lists, bare and under openbox: each drops down below itself, ten rows with a
scroll bar (the iris list's six), stays put under a resting pointer, and sends the item clicked.
Without a window manager window and frame are one, and the compact and full sizes hold."""

import sys
import unittest

from desktop import (COMPACT_SIZE, FULL_CORNER, FULL_SIZE, Desktop, main, read_wire_log,
                     readouts_pass, twips_centre, wait_until)

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]
# Each list: its top in twips, the rows it shows, the row clicked and the line that row sends.
LISTS = {"focal": (960, 10, 9, "zoom=120"), "iris": (1680, 6, 3, "iris=4")}


class PresetLists(unittest.TestCase):
    def choose(self, main, log, name, suffix):
        top, rows, row, line = LISTS[name]
        left, window_top = self.desktop.geometry(main)[:2]
        combo_bottom = window_top + (top + 330) // 15
        self.desktop.click(main, *twips_centre(360, top, 1095, 330))
        popup = wait_until(lambda: [w for w in self.desktop.xdotool(
            "search", "--onlyvisible", "--classname", "velmaro").split() if w != main],
            what="the drop-down list")[0]
        x, y, width, height = self.desktop.geometry(popup)
        self.assertTrue(combo_bottom - 1 <= y <= combo_bottom + 4, (combo_bottom, y))
        area = (left, combo_bottom - 330 // 15, x + width - left, y + height - combo_bottom + 22)
        wait_until(lambda: self.desktop.pixels(area) == self.desktop.pixels(area), what="a still list")
        shown = self.desktop.pixels(area, f"{name}-list-{suffix}.png")
        # The pointer rests where it clicked; some seconds of the readout show the program ran on.
        readouts_pass(log, 60)
        self.assertEqual(self.desktop.pixels(area), shown, "the list scrolled under the resting pointer")
        sent = len(read_wire_log(log))
        self.desktop.mouse(popup, (width // 2, height * (2 * row + 1) // (2 * rows)), "click", "1")
        wait_until(lambda: line in read_wire_log(log)[sent:], what=line)
        return height / rows

    def check(self, window_manager, port):
        self.desktop = Desktop(ARTEFACTS, window_manager=window_manager)
        self.addCleanup(self.desktop.close)
        program, main, log = self.desktop.open_lens(PROGRAM, SIMULATOR, port, full=False)
        if not window_manager:
            self.assertEqual(self.desktop.geometry(main)[2:], COMPACT_SIZE)
        suffix = "openbox" if window_manager else "bare"
        focal_row = self.choose(main, log, "focal", suffix)
        self.assertAlmostEqual(self.choose(main, log, "iris", suffix), focal_row, delta=1)
        if not window_manager:
            self.desktop.open_full_window(main)
            self.assertEqual(self.desktop.geometry(main), (*FULL_CORNER, *FULL_SIZE))
            self.assertIsNone(program.poll())

    def test_without_a_window_manager(self):
        self.check(False, 5)

    def test_under_openbox(self):
        self.check(True, 6)


if __name__ == "__main__":
    main()
