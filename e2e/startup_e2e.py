"""The real program under Xvfb against the simulator on a pseudo-terminal: the operator chooses
the port, the lens starts up, and the service code opens the full window."""

import os
import sys
import unittest

from desktop import Desktop, read_wire_log, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

STARTUP_LINES = ["init = @OUT[01];init=?", "SHX", "SHY", "SHZ", "SHW", "zoom=75", "iris=1",
                 "PAW=focusmin;BGW"]


class StartUp(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)

    def choose_port(self, program, port):
        chooser = self.desktop.window("T7342 Galil V1.0")
        self.desktop.screenshot(chooser, "port-selection.png")
        # The list is the only control: arrow keys step through it and choose.
        self.desktop.xdotool("key", "--clearmodifiers", "Down")
        self.assertIsNone(program.poll())
        return self.desktop.window("T7342 Galil")

    def test_the_lens_starts_up_and_the_service_code_opens_the_full_window(self):
        log = self.desktop.start_simulator(SIMULATOR, 3)
        program = self.desktop.start_program(PROGRAM)
        main = self.choose_port(program, 3)

        wait_until(lambda: len(read_wire_log(log)) >= len(STARTUP_LINES),
                   what="the start-up lines")
        self.assertEqual(read_wire_log(log)[:len(STARTUP_LINES)], STARTUP_LINES)
        self.assertEqual(self.desktop.window_size(main), (132, 320))
        self.desktop.screenshot(main, "main-compact.png")

        self.desktop.xdotool("key", "--clearmodifiers", "Escape", "u", "n", "v", "k", "n")
        wait_until(lambda: self.desktop.window_size(main) == (987, 767),
                   what="the full window size")
        self.desktop.screenshot(main, "main-full.png")
        self.assertIsNone(program.poll(), "the program is still running")

    def test_a_lens_not_initialised_shows_its_message_and_ends_the_program(self):
        log = self.desktop.start_simulator(SIMULATOR, 2, "--not-initialised")
        program = self.desktop.start_program(PROGRAM)
        self.choose_port(program, 2)

        message = self.desktop.window("Errore")
        self.desktop.screenshot(message, "not-initialised-message.png")
        self.desktop.xdotool("key", "--clearmodifiers", "Return")
        self.assertEqual(program.wait(timeout=10), 0)
        self.assertEqual(read_wire_log(log), ["init = @OUT[01];init=?", "allarme=?"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
