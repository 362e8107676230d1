"""The lens starts up on the chosen port, or tells that it is not initialised; an axis is switched
off and on and the network address set, by mouse and keyboard; `--trace FILE` traces every line
on the wire, and a trace file that cannot be opened stops the program at once."""

import os
import re
import subprocess
import sys
import unittest

from desktop import Desktop, main, read_wire_log, readouts_pass, twips_centre, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]
TRACE_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})  (->|<-|--) (.*)$")

SET_IP = twips_centre(360, 3360, 1095, 375)
# Zoom 1's panel: the manual frame at (2160, 1320), its first axis frame 120 and 300 inside it.
AXIS0 = (2160 + 120, 1320 + 300)
CHECK_STATUS0 = twips_centre(AXIS0[0] + 120, AXIS0[1] + 1320, 1410, 315)


class LensAndAxes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(ARTEFACTS)
        cls.trace = os.path.join(cls.desktop.folder("trace"), "trace.txt")
        cls.program, cls.main, cls.log = cls.desktop.open_lens(PROGRAM, SIMULATOR, 4, full=False,
                                                               arguments=("--trace", cls.trace))

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        self.assertIsNone(self.program.poll(), "the program is running")
        self.desktop.focus(self.main)

    def lines_after(self, count):
        return [line for line in read_wire_log(self.log)[count:] if not line.startswith("TP")]

    def test_1_a_trace_file_that_cannot_be_opened_is_told_at_start(self):
        # No display: the program must answer before it needs one.
        env = {key: value for key, value in os.environ.items()
               if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        folder = os.path.dirname(self.trace)
        for path, why in ((os.path.join(folder, "missing", "trace.txt"),
                           "No such file or directory"), (folder, "Is a directory")):
            run = subprocess.run([PROGRAM, "--trace", path], env=env, capture_output=True,
                                 text=True, timeout=30)
            self.assertEqual((run.returncode, run.stderr),
                             (2, f"velmaro: cannot open the trace file '{path}': {why}\n"))
        empty = subprocess.run([PROGRAM, "--trace="], env=env, capture_output=True, text=True,
                               timeout=30)
        self.assertEqual((empty.returncode, empty.stderr.splitlines()[0]),
                         (2, "velmaro: --trace needs the name of a file"))

    def test_2_an_axis_switched_off_and_on(self):
        self.desktop.open_full_window(self.main)
        self.desktop.screenshot(self.main, "main-full.png")
        before = len(read_wire_log(self.log))
        self.desktop.click(self.main, *CHECK_STATUS0)
        wait_until(lambda: self.lines_after(before) == ["STX", "ABX", "MOX"],
                   what="the disable lines")
        self.desktop.screenshot(self.main, "axis-disabled.png")
        self.desktop.click(self.main, *CHECK_STATUS0)
        wait_until(lambda: self.lines_after(before) == ["STX", "ABX", "MOX", "SHX"],
                   what="the enable line")

    def test_3_the_network_address_through_the_input_box(self):
        before = len(read_wire_log(self.log))
        self.desktop.click(self.main, *SET_IP)
        self.desktop.window("Set IP Address")
        self.desktop.xdotool("type", "--delay", "20", "010.001.002.003")
        self.desktop.xdotool("key", "Return")
        self.desktop.answer("IP Address changed")
        self.assertEqual(self.lines_after(before), ["IA10,1,2,3;BN"])

    def test_4_every_line_on_the_wire_is_traced_in_order(self):
        # The format is the trace's unit test's; here the real trace against the wire log.
        readouts_pass(self.log, 20)
        self.program.terminate()
        self.program.wait(timeout=30)
        with open(self.trace, encoding="latin-1") as trace:
            entries = [TRACE_LINE.match(line.rstrip("\n")) for line in trace]
        self.assertTrue(all(entries), "every line has a time, a direction and what went")
        self.assertEqual(entries[0].group(2, 3), ("--", "velmaro 1.2.0 started"))
        unescape = lambda text: text.encode("latin-1").decode("unicode_escape")  # noqa: E731
        sent = [unescape(entry.group(3)) for entry in entries if entry.group(2) == "->"]
        # The program may have been stopped between tracing a line and sending it; the simulator
        # logs what was sent as it reads it.
        received = wait_until(lambda: len(sent) - len(r := read_wire_log(self.log)) <= 1 and r,
                              what="the simulator to log what was sent")
        self.assertIn(len(sent) - len(received), (0, 1))
        self.assertEqual([line[:-1] for line in sent[:len(received)]], received)
        # The first answer taken is the lens initialisation check's.
        first_answer = next(i for i, entry in enumerate(entries) if entry.group(2) == "<-")
        self.assertEqual(unescape(entries[first_answer - 1].group(3)), "init = @OUT[01];init=?\r")


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
