"""The real program under Xvfb against the simulator on a pseudo-terminal: the operator chooses
the port and the lens starts up, or tells that it is not initialised; the technician switches an
axis off and on and sets the controller's network address, all by mouse and keyboard as a person
would. (Holding a focus button is the lens column's widget test.)"""

import sys
import unittest

from desktop import Desktop, main, read_wire_log, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

SET_IP = twips_centre(360, 3360, 1095, 375)
# Zoom 1's panel: the manual frame at (2160, 1320), its first axis frame 120 and 300 inside it.
AXIS0 = (2160 + 120, 1320 + 300)
CHECK_STATUS0 = twips_centre(AXIS0[0] + 120, AXIS0[1] + 1320, 1410, 315)


class LensAndAxes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(ARTEFACTS)
        cls.program, cls.main, cls.log = cls.desktop.open_lens(PROGRAM, SIMULATOR, 4, full=False)

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        self.assertIsNone(self.program.poll(), "the program is running")
        self.desktop.focus(self.main)

    def lines_after(self, count):
        return [line for line in read_wire_log(self.log)[count:] if not line.startswith("TP")]

    def mouse(self, at, *actions):
        self.desktop.mouse(self.main, at, *actions)

    def test_2_an_axis_switched_off_and_on(self):
        self.desktop.open_full_window(self.main)
        self.desktop.screenshot(self.main, "main-full.png")
        before = len(read_wire_log(self.log))
        self.mouse(CHECK_STATUS0, "click", "1")
        wait_until(lambda: self.lines_after(before) == ["STX", "ABX", "MOX"],
                   what="the disable lines")
        self.desktop.screenshot(self.main, "axis-disabled.png")
        self.mouse(CHECK_STATUS0, "click", "1")
        wait_until(lambda: self.lines_after(before) == ["STX", "ABX", "MOX", "SHX"],
                   what="the enable line")

    def test_3_the_network_address_through_the_input_box(self):
        before = len(read_wire_log(self.log))
        self.mouse(SET_IP, "click", "1")
        self.desktop.window("Set IP Address")
        self.desktop.xdotool("type", "--delay", "20", "010.001.002.003")
        self.desktop.xdotool("key", "Return")
        self.desktop.answer("IP Address changed")
        self.assertEqual(self.lines_after(before), ["IA10,1,2,3;BN"])


class NotInitialised(unittest.TestCase):
    def test_a_lens_not_initialised_shows_its_message_and_ends_the_program(self):
        # Without a window manager, as on a bare X server: the box must still take the key.
        desktop = Desktop(ARTEFACTS, window_manager=False)
        self.addCleanup(desktop.close)
        log = desktop.start_simulator(SIMULATOR, 2, "--not-initialised")
        program = desktop.start_program(PROGRAM)
        desktop.screenshot(desktop.window("T7342 Galil V1.0"), "port-selection.png")
        desktop.xdotool("key", "--clearmodifiers", "Down")
        desktop.window("T7342 Galil")
        desktop.screenshot(desktop.window("Errore"), "not-initialised-message.png")
        desktop.xdotool("key", "--clearmodifiers", "Return")
        self.assertEqual(program.wait(timeout=30), 0)
        self.assertEqual(read_wire_log(log), ["init = @OUT[01];init=?", "allarme=?"])


if __name__ == "__main__":
    main()
