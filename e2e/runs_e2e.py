"""Run records in the real program under Xvfb against the simulator: a run ended by ABORT is
stored with its logs byte for byte. (A run cut short, found at the next START, is the keeper's
test; their reports and lists are the README test's, on such a run.)"""

import contextlib
import os
import sqlite3
import sys
import unittest
import zlib

from desktop import ABORT, START, Desktop, main, wait_until

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

    def test_aborted_run_is_stored_byte_for_byte_and_reported(self):
        program, main, _ = self.desktop.open_lens(PROGRAM, SIMULATOR, 2, ("--time-scale", "4"),
                                                  cwd=self.workdir)
        self.desktop.start_full_stroke(main)
        self.moves_logged(4)
        self.desktop.click(main, *ABORT)
        # Stored once the tick under way has ended; the logs stay as stored.
        stored = wait_until(self.stored, what="the aborted run stored")
        held = self.logs()

        # START again: the logs are emptied, the first run stays kept as it was.
        self.desktop.click(main, *START)
        wait_until(lambda: len(self.logs()[0]) < len(held[0]), what="the logs emptied")
        self.desktop.screenshot(main, "runs-second-start.png")
        self.assertEqual(len(stored), 1)
        _, ending, _, complete, errors = self.stored()[0]
        self.assertEqual(ending, "stopped by ABORT")
        self.assertEqual((complete, errors), held)

        unknown = self.desktop.run(REPORT, "--run", "ffffffff")
        self.assertEqual(unknown.returncode, 2)
        self.assertIn("ffffffff", unknown.stderr)
        self.desktop.click(main, *ABORT)
        self.assertIsNone(program.poll())


if __name__ == "__main__":
    main()
