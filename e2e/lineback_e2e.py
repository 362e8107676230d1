"""A line that comes back: the controller is stopped under the running program, a new one that has
not initialised its lens takes its place, and then one that is ready. The program asks the lens
first, as at start-up, keeps its controls locked while the lens is not ready, and takes up the
readout with the ticked axes enabled once it is."""

import signal
import sys
import time
import unittest

from desktop import Desktop, read_wire_log, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

PORT = 6
ASK = "init = @OUT[01];init=?"
# The Iris panel: the third axis frame in the manual frame at (2160, 1320).
IRIS_STATUS = twips_centre(2160 + 120 + 2 * (1650 + 75) + 120, 1320 + 300 + 1320, 1410, 315)


class LineBack(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)

    def stop_simulator(self):
        simulator = self.simulators.pop()
        simulator.send_signal(signal.SIGTERM)
        simulator.wait(timeout=5)

    def start_simulator(self, *options):
        log = self.desktop.start_simulator(SIMULATOR, PORT, *options)
        self.simulators.append(self.desktop.processes[-1])
        return log

    def dismiss(self, text_in_title):
        """Closes the one box "Errore" after checking the main window's title."""
        wait_until(lambda: self.desktop.shown(text_in_title), what=f"the title '{text_in_title}'")
        box = wait_until(lambda: self.desktop.shown("^Errore$"), what="the box")
        self.assertEqual(len(box), 1, "one box")
        self.desktop.xdotool("windowfocus", "--sync", box[0])
        time.sleep(0.2)
        self.desktop.xdotool("key", "Return")
        wait_until(lambda: not self.desktop.shown("^Errore$"), what="the box to close")

    def test_a_reset_controller_is_asked_until_its_lens_is_ready(self):
        program, main, _ = self.desktop.open_lens(PROGRAM, SIMULATOR, PORT)
        self.simulators = [process for process in self.desktop.processes
                           if process.args[0] == SIMULATOR]
        self.desktop.mouse(main, IRIS_STATUS, "click", "1")
        time.sleep(0.5)

        self.stop_simulator()
        self.dismiss("line lost")

        log = self.start_simulator("--not-initialised")
        wait_until(lambda: self.desktop.shown(f"COM{PORT}: line back, lens not ready"),
                   what="the title saying the lens is not ready")
        # Asked again every 2 s, and nothing else sent meanwhile.
        wait_until(lambda: read_wire_log(log).count(ASK) >= 3, timeout=15,
                   what="the question asked again")
        self.desktop.screenshot("root", "lineback-lens-not-ready.png")
        self.assertEqual(len(self.desktop.shown("^Errore$")), 1, "one box for all the asking")
        self.assertEqual(set(read_wire_log(log)), {ASK, "allarme=?"})
        self.dismiss("lens not ready")

        self.stop_simulator()
        self.dismiss("line lost")
        log = self.start_simulator()
        wait_until(lambda: self.desktop.shown(f"COM{PORT}: line back since"),
                   what="the title saying the line is back")
        wait_until(lambda: "TPW" in read_wire_log(log), what="the readout on the new line")
        lines = read_wire_log(log)
        self.assertEqual(lines[:4], [ASK, "SHX", "SHY", "SHW"], "the ticked axes only")
        self.assertEqual({line for line in lines[4:]}, {"TPX", "TPY", "TPZ", "TPW"})
        time.sleep(0.5)
        self.desktop.screenshot(main, "lineback-ready.png")
        self.assertFalse(self.desktop.shown("^Errore$"), "no box for a ready lens")
        self.assertIsNone(program.poll(), "the program is alive")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
