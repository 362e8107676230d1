"""Run records in the real program under Xvfb against the simulator: a run ended by ABORT is
stored with its logs byte for byte and made into a PDF with velmaro-report; a run cut short by
SIGKILL is stored as ended "unknown" at the next START."""

import contextlib
import os
import signal
import sqlite3
import subprocess
import sys
import time
import unittest
import zlib

from desktop import ABORT, FULL_STROKE_BOX, START, Desktop, pdf_words, wait_until

PROGRAM, SIMULATOR, ARTEFACTS, REPORT = sys.argv[1:5]


def unpack(blob):
    """A log as stored: qCompress, a big-endian length and then a zlib stream."""
    length = int.from_bytes(blob[:4], "big") if blob else 0
    data = zlib.decompress(blob[4:]) if length else b""
    assert len(data) == length
    return data


class RunRecords(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.workdir = self.desktop.folder("runs")
        self.home = self.desktop.folder("home")
        self.desktop.env.update(XDG_DATA_HOME=os.path.join(self.home, "data"),
                                XDG_CONFIG_HOME=os.path.join(self.home, "config"))
        self.desktop.env.pop("VELMARO_RUNS_DB", None)
        self.database = os.path.join(self.home, "data", "velmaro", "runs.sqlite")

    def logs(self):
        result = []
        for name in ("Log Complete.txt", "Log Errors.txt"):
            path = os.path.join(self.workdir, name)
            if not os.path.exists(path):  # START has not made it yet
                result.append(b"")
                continue
            with open(path, "rb") as log:
                result.append(log.read())
        return tuple(result)

    def stored(self):
        """The stored runs; none while the program has not made the file and its tables yet (the
        file comes first, its tables a moment later)."""
        if not os.path.exists(self.database):
            return []
        with contextlib.closing(sqlite3.connect(self.database, timeout=10)) as db:
            made = db.execute("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                              "name = 'runs'").fetchone()[0]
            if not made:
                return []
            rows = db.execute("SELECT id, ending, station, log_complete, log_errors FROM runs "
                              "ORDER BY started").fetchall()
        return [(id, ending, station, unpack(complete), unpack(errors))
                for id, ending, station, complete, errors in rows]

    def moves_logged(self, count):
        return wait_until(lambda: self.logs()[0].count(b"\r\n") >= count, timeout=60,
                          what=f"{count} lines in Log Complete.txt")

    def start_run(self, main):
        self.desktop.click(main, *FULL_STROKE_BOX)
        time.sleep(0.3)
        self.desktop.click(main, *START)

    def report(self, *arguments):
        environment = dict(os.environ, XDG_DATA_HOME=self.desktop.env["XDG_DATA_HOME"],
                           XDG_CONFIG_HOME=self.desktop.env["XDG_CONFIG_HOME"])
        environment.pop("VELMARO_RUNS_DB", None)
        return subprocess.run([REPORT, *arguments], cwd=self.workdir, env=environment,
                              capture_output=True, text=True, timeout=60)

    def test_aborted_run_is_stored_byte_for_byte_and_reported(self):
        program, main, _ = self.desktop.open_lens(PROGRAM, SIMULATOR, 2, ("--time-scale", "4"),
                                                  cwd=self.workdir)
        self.start_run(main)
        self.moves_logged(4)
        self.desktop.click(main, *ABORT)
        time.sleep(2)  # the tick under way ends first
        held = self.logs()
        stored = wait_until(self.stored, what="the aborted run stored")

        # START again: the logs are emptied, the first run stays kept as it was.
        self.desktop.click(main, *START)
        wait_until(lambda: len(self.logs()[0]) < len(held[0]), what="the logs emptied")
        self.desktop.screenshot(main, "runs-second-start.png")
        self.assertEqual(len(stored), 1)
        run_id, ending, station, complete, errors = self.stored()[0]
        self.assertEqual(ending, "stopped by ABORT")
        self.assertEqual((complete, errors), held)

        # Its report, from the record alone.
        result = self.report("--run", "latest", "-o", "first.pdf", "--local")
        self.assertEqual(result.returncode, 0, result.stderr)
        pdf = os.path.join(self.workdir, "first.pdf")
        subprocess.run(["pdftoppm", "-png", "-r", "80", "-f", "1", "-l", "1", pdf,
                        os.path.join(ARTEFACTS, "runs-report")], check=True, timeout=60)
        text = pdf_words(pdf)
        lines = held[0].count(b"\r\n")
        for expected in (f"Run {run_id}", f"Station {station}", "How it ended stopped by ABORT",
                         "Lens serial not given", "Version 1.2.0",
                         f"Lines {lines} read, 0 unreadable"):
            self.assertIn(expected, text)

        listed = self.report("--runs", "--local")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        self.assertIn(run_id[:8], listed.stdout)
        given = self.report("--run", run_id[:8], "--serial", "L-4711", "--local")
        self.assertEqual(given.returncode, 0, given.stderr)
        self.assertIn("L-4711", self.report("--runs", "--serial", "L-4711").stdout)
        unknown = self.report("--run", "ffffffff")
        self.assertEqual(unknown.returncode, 2)
        self.assertIn("ffffffff", unknown.stderr)
        self.desktop.click(main, *ABORT)
        self.assertIsNone(program.poll())

    def test_run_cut_short_by_sigkill_is_stored_as_unknown_at_the_next_start(self):
        program, main, _ = self.desktop.open_lens(PROGRAM, SIMULATOR, 3, ("--time-scale", "4"),
                                                  cwd=self.workdir)
        self.start_run(main)
        self.moves_logged(3)
        program.send_signal(signal.SIGKILL)
        program.wait(timeout=10)
        held = self.logs()
        self.assertEqual(self.stored(), [])

        again = self.desktop.start_program(PROGRAM, cwd=self.workdir)
        # The port selection comes once the killed program's port is free again.
        wait_until(lambda: self.desktop.shown("^T7342 Galil V1.0$"), timeout=30,
                   what="the port selection after the restart")
        self.desktop.window("T7342 Galil V1.0")
        self.desktop.xdotool("key", "--clearmodifiers", "Down")
        main = self.desktop.window("T7342 Galil")
        time.sleep(1)
        self.desktop.open_full_window(main)
        self.start_run(main)
        stored = wait_until(self.stored, what="the run found at START stored")
        self.assertEqual(len(stored), 1)
        _, ending, _, complete, errors = stored[0]
        self.assertEqual(ending, "unknown")
        self.assertEqual((complete, errors), held)
        self.desktop.click(main, *ABORT)
        self.desktop.screenshot(main, "runs-after-crash.png")
        self.assertIsNone(again.poll())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
