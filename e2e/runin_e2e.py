"""Full stroke with large errors: START, an error listed and logged, ABORT; under an American and
an Italian locale, the logs' times have seconds and the report reads them back."""

import os
import re
import subprocess
import sys
import unittest

from desktop import ABORT, LIST1, Desktop, main, pdf_words, read_wire_log, readouts_pass, wait_until

PROGRAM, SIMULATOR, ARTEFACTS, REPORT = sys.argv[1:5]


CYCLE = ["zoom = 500", "zoom = 75", "iris = 6", "iris = 1", "PAD = 10100;BGD", "PAD = 100;BGD"]
# The locale's short date and long time, without a zone.
STAMPS = {"en_US.UTF-8": r"\d{1,2}/\d{1,2}/\d\d  \d{1,2}:\d\d:\d\d [AP]M",
          "it_IT.UTF-8": r"\d\d/\d\d/\d\d  \d\d:\d\d:\d\d"}
ERROR_LINE = re.compile(r"^\S.*  \S.*  POSITION ERROR \(-?\d+\)  "
                        r"(Zoom 1|Zoom 2|Iris|Focus) Axis Full stroke test (ascending|descending)$")


def crop_differs(first, second, box):
    """Whether two screenshots differ inside box (left, top, width, height)."""
    left, top, width, height = box
    geometry = f"{width}x{height}+{left}+{top}"
    result = subprocess.run(["compare", "-metric", "AE",
                             "(", first, "-crop", geometry, ")",
                             "(", second, "-crop", geometry, ")", "null:"],
                            capture_output=True, text=True, timeout=30)
    return float(result.stderr.split()[0]) > 0


def move_lines(log):
    return [line for line in read_wire_log(log)
            if not line.startswith("TP") and not line.startswith("erorre")]


def generate_locale(name):
    """Makes the system locale `name` (such as it_IT.UTF-8) if it is not there yet."""
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    if name.replace("UTF-8", "utf8") in listed:
        return
    language, charset = name.split(".")
    subprocess.run(["localedef", "-i", language, "-f", charset, name], check=True, timeout=120)


class RunningIn(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for name in STAMPS:
            generate_locale(name)

    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.workdir = self.desktop.folder("runin")

    def log_lines(self, name):
        path = os.path.join(self.workdir, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as log:
            data = log.read()
        self.assertTrue(data == b"" or data.endswith(b"\r\n"), f"{name} ends its lines in CR LF")
        return [line.decode("latin-1") for line in data.split(b"\r\n") if line]

    def test_full_stroke_lists_and_logs_an_error_and_abort_ends_it_in_american(self):
        self.run_in_locale("en_US.UTF-8", 4)

    def test_full_stroke_lists_and_logs_an_error_and_abort_ends_it_in_italian(self):
        self.run_in_locale("it_IT.UTF-8", 5)

    def run_in_locale(self, locale, port):
        self.locale = locale
        self.desktop.env.update(LANG=locale, LC_ALL=locale)
        program, main, log = self.desktop.open_lens(
            PROGRAM, SIMULATOR, port, ("--large-error-every", "2", "--time-scale", "4"),
            cwd=self.workdir)

        before = self.desktop.screenshot(main, "runin-before-start.png")
        self.desktop.start_full_stroke(main)
        wait_until(lambda: self.log_lines("Log Errors.txt"), timeout=60,
                   what="an error in Log Errors.txt")
        # The report beeps for about three seconds before the window repaints.
        wait_until(lambda: crop_differs(before, self.desktop.screenshot(
            main, "runin-error-listed.png"), LIST1), what="the error shown in the list")

        errors = self.log_lines("Log Errors.txt")
        self.assertRegex(errors[0], ERROR_LINE)
        complete = self.log_lines("Log Complete.txt")
        self.assertIn(errors[0], complete)
        for line in complete + errors:
            self.assertRegex(line, "^" + STAMPS[locale] + "  ")
        self.assertIn("  Position reached: ", complete[complete.index(errors[0]) - 1])

        self.desktop.click(main, *ABORT)
        # A tick under way finishes first, an error report included: the moves come to rest
        # while the readout goes on.
        def at_rest():
            moves = move_lines(log)
            readouts_pass(log)
            return move_lines(log) == moves and moves
        moves = wait_until(at_rest, what="nothing to move after ABORT")
        run = moves[moves.index("zoom = 500"):]
        self.assertEqual(run, (CYCLE * (len(run) // len(CYCLE) + 1))[:len(run)])
        self.desktop.screenshot(main, "runin-aborted.png")
        self.assertIsNone(program.poll(), "the program is still running")
        self.check_report(self.log_lines("Log Complete.txt"), self.log_lines("Log Errors.txt"))

    def check_report(self, complete, errors):
        """The run's logs made into a report that reads them whole (figures: the report's tests)."""
        report = subprocess.run([REPORT, "Log Complete.txt", "--errors", "Log Errors.txt"],
                                cwd=self.workdir, env=self.desktop.env, capture_output=True,
                                text=True, timeout=60)
        self.assertEqual(report.returncode, 0, report.stderr)
        pdf = os.path.join(self.workdir, "Log Complete.pdf")
        subprocess.run(["pdftoppm", "-png", "-r", "80", "-f", "1", "-l", "3", pdf,
                        os.path.join(ARTEFACTS, "runin-report-" + self.locale[:5])], check=True, timeout=60)
        text = pdf_words(pdf)
        # The first and the last time to the second, and the run's length from them.
        first = re.match(STAMPS[self.locale], complete[0]).group(0)
        last = re.match(STAMPS[self.locale], complete[-1]).group(0)
        self.assertIn("First line " + " ".join(first.split()), text)
        self.assertIn("Last line " + " ".join(last.split()), text)
        self.assertNotIn("Duration unknown", text)

        cycles = sum("  Focus Axis Full stroke test descending  Position reached: " in line
                     for line in complete)
        self.assertIn(f"Completed full-stroke cycles {cycles}", text)
        self.assertIn(f"Lines {len(complete)} read, 0 unreadable", text)
        self.assertIn(f"Log Errors.txt: {len(errors)} error line(s), the same as in the complete "
                      "log", text)


if __name__ == "__main__":
    main()
