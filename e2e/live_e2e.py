"""The plant sees a run as it runs: the real program under Xvfb against the simulator, with a real
PostgreSQL server as its plant. A run's snapshot is there once it starts and marked ended by
ABORT, with the lens set on the station; the next run's replaces it, and a station killed in the middle of that run leaves it
there, not ended, for the page to show as silent."""

import os
import signal
import subprocess
import sys
import unittest

from desktop import ABORT, START, Desktop, main, read_wire_log, wait_until

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "testsupport"))
from pgserver import PgServer  # noqa: E402

PROGRAM, SIMULATOR, ARTEFACTS, REPORT = sys.argv[1:5]


class LiveProgress(unittest.TestCase):
    def setUp(self):
        self.plant = PgServer()
        self.addCleanup(self.plant.close)
        self.plant.start()
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.workdir = self.desktop.folder("live")
        self.desktop.env.update(XDG_DATA_HOME=os.path.join(self.workdir, "data"),
                                XDG_CONFIG_HOME=os.path.join(self.workdir, "config"),
                                VELMARO_RUNS_DB=self.plant.connection())

    def snapshots(self):
        """The plant's snapshots, (run id, cycles, ended) per station."""
        return [(run, int(cycles), ended == "1") for run, cycles, ended in
                self.plant.psql("SELECT run_id, cycles, ended FROM run_progress")]

    def stored_runs(self):
        return [id for id, in self.plant.psql("SELECT id FROM runs")]

    def test_a_run_is_seen_from_start_to_end_and_a_killed_station_stays_not_ended(self):
        subprocess.run([REPORT, "--lens", "L-4711"], env=self.desktop.env, check=True,
                       capture_output=True, timeout=60)
        program, main, log = self.desktop.open_lens(PROGRAM, SIMULATOR, 4, ("--time-scale", "4"),
                                                    cwd=self.workdir)
        self.desktop.start_full_stroke(main)
        [(first, cycles, ended)] = wait_until(self.snapshots, what="a snapshot")
        self.assertEqual((cycles, ended), (0, False))
        self.assertEqual(self.plant.psql("SELECT serial FROM run_progress"), [["L-4711"]])

        wait_until(lambda: "zoom = 75" in read_wire_log(log), what="a few moves")
        self.desktop.click(main, *ABORT)
        wait_until(lambda: [(run, ended) for run, _, ended in self.snapshots()] == [(first, True)],
                   what="its end")
        wait_until(lambda: first in self.stored_runs(), what="its record")

        # The next run replaces it; the station dies in the middle of it.
        self.desktop.click(main, *START)
        [(second, _, _)] = wait_until(lambda: [s for s in self.snapshots() if s[0] != first],
                                      what="the next run's snapshot")
        program.send_signal(signal.SIGKILL)
        program.wait(timeout=30)
        self.assertEqual([(run, ended) for run, _, ended in self.snapshots()], [(second, False)])
        self.assertNotIn(second, self.stored_runs())


if __name__ == "__main__":
    main()
