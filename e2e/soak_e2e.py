"""A soak: full strokes on the time-scaled simulator, one fault at a time (late answers, garbage,
large errors, the line dropped and back); each ends with the program alive, the one message due,
both logs whole, memory flat. VELMARO_SOAK_SECONDS: each fault's time (20 s; minutes by hand)."""

import os
import re
import sys
import time
import unittest

from desktop import Desktop, main, read_wire_log, readouts_pass, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]
SECONDS = float(os.environ.get("VELMARO_SOAK_SECONDS", "20"))


# Every line of the logs: a position reached, a position error, or a note of the program's.
LOG_LINE = re.compile(r"^\S.*  \S.*  (Position reached: |POSITION ERROR \(|\S)")


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no resident size")


class Soak(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.workdir = self.desktop.folder("soak")

    def start_full_stroke(self, port, *faults, moves=True):
        program, main, log = self.desktop.open_lens(
            PROGRAM, SIMULATOR, port, ("--time-scale", "20", *faults), cwd=self.workdir)
        before = len(read_wire_log(log))
        self.desktop.start_full_stroke(main)
        if moves:
            wait_until(lambda: "zoom = 500" in read_wire_log(log), what="the first stroke")
        else:
            # Garbage is no position: the run asks for one until it gives up, and says so.
            wait_until(lambda: len(read_wire_log(log)) > before + 8, what="the run's questions")
        return program, main, log

    def run_for(self, program, seconds):
        """Runs on; gives the resident size after the first third and at the end."""
        time.sleep(seconds / 3)
        early = resident_kib(program.pid)
        time.sleep(seconds * 2 / 3)
        return early, resident_kib(program.pid)

    def assert_logs_whole(self):
        for name in ("Log Complete.txt", "Log Errors.txt"):
            path = os.path.join(self.workdir, name)
            if not os.path.exists(path):
                continue
            with open(path, "rb") as log:
                data = log.read()
            self.assertTrue(data == b"" or data.endswith(b"\r\n"), f"{name} ends in CR LF")
            for line in data.split(b"\r\n")[:-1]:
                self.assertRegex(line.decode("latin-1"), LOG_LINE, f"a whole line in {name}")

    def assert_flat(self, early, late, fault):
        print(f"{fault}: resident {early} KiB after a third, {late} KiB at the end",
              file=sys.stderr)
        if os.environ.get("VELMARO_SANITIZED"):
            # The address sanitizer holds freed blocks back: the plain build measures memory.
            return
        self.assertLessEqual(late, early * 1.1, "memory stays flat")

    def soak(self, port, fault, *options, moves=True):
        program, main, _ = self.start_full_stroke(port, *options, moves=moves)
        early, late = self.run_for(program, SECONDS)
        self.desktop.screenshot(main, f"soak-{fault}.png")
        self.assertIsNone(program.poll(), "the program is alive")
        self.assertFalse(self.desktop.shown("^Errore$"), "no message box")
        self.assert_logs_whole()
        self.assert_flat(early, late, fault)

    def test_answers_later_than_the_waits(self):
        self.soak(5, "late-answers", "--delay", "60")

    def test_garbage_answers(self):
        self.soak(6, "garbage", "--garbage", moves=False)

    def test_large_errors_every_few_moves(self):
        self.soak(7, "large-errors", "--large-error-every", "3")
        with open(os.path.join(self.workdir, "Log Errors.txt"), "rb") as errors:
            self.assertIn(b"POSITION ERROR", errors.read())

    def test_the_line_dropped_mid_run_and_back(self):
        drop_ms = int(SECONDS * 1000 / 2)
        program, main, _ = self.start_full_stroke(8, "--drop-after", str(drop_ms))
        time.sleep(SECONDS / 3)
        early = resident_kib(program.pid)
        wait_until(lambda: self.desktop.shown("^Errore$"), timeout=SECONDS + 30,
                   what="the message of the lost line")
        wait_until(lambda: self.desktop.shown("line lost"), what="the title saying so")
        self.assertEqual(len(self.desktop.shown("^Errore$")), 1, "one message")
        self.desktop.screenshot("root", "soak-line-lost.png")
        self.desktop.answer("Errore")
        wait_until(lambda: not os.path.lexists(os.path.join(self.desktop.ports, "COM8")),
                   what="the dropped line's link removed")

        # The device comes back under the same name, with the lens still initialised.
        log = self.desktop.start_simulator(SIMULATOR, 8, "--time-scale", "20")
        wait_until(lambda: self.desktop.shown("COM8: line back"),
                   what="the title saying the line is back")
        wait_until(lambda: "TPX" in read_wire_log(log), what="the readout on the new line")
        readouts_pass(log, int(SECONDS / 3 * 20), timeout=SECONDS + 30)
        self.desktop.screenshot(main, "soak-line-back.png")
        self.assertIsNone(program.poll(), "the program is alive")
        self.assertFalse(self.desktop.shown("^Errore$"), "no second message")
        # The lens is asked and the ticked axes enabled, as at start-up; nothing moves.
        moves = [line for line in read_wire_log(log) if not line.startswith("TP")]
        self.assertEqual(moves, ["init = @OUT[01];init=?", "SHX", "SHY", "SHZ", "SHW"],
                         "the stopped run stays stopped")
        self.assert_logs_whole()
        self.assert_flat(early, resident_kib(program.pid), "dropped line")


if __name__ == "__main__":
    main()
