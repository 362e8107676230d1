"""The main window under openbox, measured from outside: sizes and place are the outer window's;
its boxes belong to it, centred on it; dead keys and unbound keys reset the service code, and the
key after a dead key counts, in a text box too. (Without a window manager: the lists' test.)"""

import subprocess
import sys
import unittest

from desktop import (COMPACT_SIZE, FULL_CORNER, FULL_SIZE, SERVICE_CODE, Desktop, main,
                     readouts_pass, twips_centre, wait_until)

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

SET_IP = twips_centre(360, 3360, 1095, 375)
ZOOM2_TARGET = twips_centre(2160 + 120 + 1650 + 75 + 120, 1320 + 300 + 5100, 1410, 345)
# Keys no US keyboard has, bound on spare key codes of the X keyboard map.
EXTRA_KEYS = {250: "dead_grave", 251: "dead_circumflex", 252: "ograve"}


class UnderWindowManager(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(ARTEFACTS, window_manager=True)
        bindings = [arg for code, name in EXTRA_KEYS.items()
                    for arg in ("-e", f"keycode {code} = {name}")]
        subprocess.run(["xmodmap", *bindings], env=cls.desktop.env, check=True)
        cls.program, cls.main, cls.log = cls.desktop.open_lens(PROGRAM, SIMULATOR, 5, full=False)

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        self.assertIsNone(self.program.poll(), "the program is running")
        self.desktop.focus(self.main)

    def outer(self):
        return self.desktop.outer_geometry(self.main)

    def test_1_compact_and_full_sizes_and_the_full_place_are_the_outer_window(self):
        frame = self.outer()
        client = self.desktop.geometry(self.main)
        self.assertGreater(frame[3], client[3], "openbox gives the window a title bar")
        self.assertEqual(frame[2:], COMPACT_SIZE)
        self.desktop.xdotool("key", "--clearmodifiers", *SERVICE_CODE)
        wait_until(lambda: self.outer()[2:] == FULL_SIZE, what="the full size")
        wait_until(lambda: self.outer()[:2] == FULL_CORNER, what="the full window's place")
        print(f"under openbox: compact {frame}, full {self.outer()}, client "
              f"{self.desktop.geometry(self.main)}", file=sys.stderr)
        self.desktop.screenshot("root", "window-full-openbox.png")

    def assert_code(self, places, *keys, why=None):
        """Moves the full window away and types a space (KeySum 0) and `keys`: they bring it back,
        or (`places` false) the program takes them and leaves the window where it is."""
        self.desktop.xdotool("windowmove", self.main, "300", "200")
        wait_until(lambda: self.outer()[:2] != FULL_CORNER, what="the window to move away")
        self.desktop.xdotool("key", "--delay", "40", "space", *keys)
        if places:
            wait_until(lambda: self.outer()[:2] == FULL_CORNER, what=why or "the window placed")
        else:
            readouts_pass(self.log)  # keys and moves are taken between the readout's ticks
            self.assertNotEqual(self.outer()[:2], FULL_CORNER, why)

    def test_2_dead_keys_and_keys_without_a_code_reset_the_service_code(self):
        self.desktop.open_full_window(self.main)
        self.assert_code(True, *SERVICE_CODE)
        for wrong in ("dead_grave", "dead_circumflex", "ograve"):
            self.assert_code(False, "Escape", "u", "n", "v", wrong, "k", "n",
                             why=f"{wrong} resets the code")
        self.assert_code(False, "Escape", "u", "n", "v", "k", "dead_grave", "space", "n")
        self.assert_code(True, "dead_grave", *SERVICE_CODE,
                         why="the key after a dead key counts as itself")
        # The same in a box that takes what is typed: no input method holds the keys back.
        self.desktop.mouse(self.main, ZOOM2_TARGET, "click", "1")
        self.assert_code(False, "Escape", "u", "n", "v", "dead_grave", "k", "n",
                         why="a dead key in a text box")
        self.assert_code(True, "dead_grave", *SERVICE_CODE,
                         why="the key after a dead key in a text box")

    def test_3_boxes_belong_to_the_window_and_open_centred_on_it(self):
        self.desktop.open_full_window(self.main)
        x, y, width, height = self.outer()
        centre = (x + width // 2, y + height // 2)
        self.desktop.mouse(self.main, SET_IP, "click", "1")
        for title, answer in (("Set IP Address", "x"), ("Error", None)):
            box = self.desktop.window(title)
            transient = subprocess.run(["xprop", "-id", box, "WM_TRANSIENT_FOR"],
                                       env=self.desktop.env, capture_output=True,
                                       text=True).stdout
            self.assertEqual(int(transient.split()[-1], 16), int(self.main), title)
            bx, by, bwidth, bheight = self.desktop.outer_geometry(box)
            # Qt centres a box by its own guess of the frame: near the middle, not to the pixel.
            # (The screen's middle, where a box without its window goes, is 146, 128 px off.)
            self.assertLessEqual(abs(bx + bwidth // 2 - centre[0]), 30, title)
            self.assertLessEqual(abs(by + bheight // 2 - centre[1]), 30, title)
            self.desktop.screenshot("root", f"box-{title.replace(' ', '-')}.png")
            if answer:
                self.desktop.xdotool("type", answer)
            self.desktop.xdotool("key", "Return")
            wait_until(lambda: not self.desktop.shown(f"^{title}$"), what="the box to close")


if __name__ == "__main__":
    main()
