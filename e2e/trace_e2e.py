"""`velmaro --trace FILE` against velmaro-sim on a pseudo-terminal: every line the simulator
received stands in the trace, in the same order, marked as sent, with the answers between them;
and a trace file that cannot be opened stops the program at once with a message naming it."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from desktop import Desktop, main, read_wire_log, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]

TRACE_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})  (->|<-|--) (.*)$")


def unescape(text):
    return text.encode("latin-1").decode("unicode_escape")


def read_trace(path):
    with open(path, encoding="latin-1") as trace:
        return [TRACE_LINE.match(line.rstrip("\n")) for line in trace]


class Trace(unittest.TestCase):
    def folder(self):
        folder = tempfile.mkdtemp(prefix="velmaro-trace-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        return folder

    def test_a_trace_file_that_cannot_be_opened_is_told_at_start(self):
        folder = self.folder()
        # No display: the program must answer before it needs one.
        env = {key: value for key, value in os.environ.items()
               if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for path, why in ((os.path.join(folder, "missing", "trace.txt"),
                           "No such file or directory"),
                          (folder, "Is a directory")):
            run = subprocess.run([PROGRAM, "--trace", path], env=env, capture_output=True,
                                 text=True, timeout=30)
            self.assertEqual(run.returncode, 2, run.stderr)
            self.assertEqual(run.stderr,
                             f"velmaro: cannot open the trace file '{path}': {why}\n")
        empty = subprocess.run([PROGRAM, "--trace="], env=env, capture_output=True, text=True,
                               timeout=30)
        self.assertEqual((empty.returncode, empty.stderr.splitlines()[0]),
                         (2, "velmaro: --trace needs the name of a file"))

    def test_every_line_on_the_wire_is_traced_in_order(self):
        desktop = Desktop(ARTEFACTS)
        self.addCleanup(desktop.close)
        # The format, appending and order of pieces are the trace's unit test's; here the real
        # program's trace against what the controller received.
        trace_path = os.path.join(desktop.folder("trace"), "trace.txt")

        program, _, log = desktop.open_lens(PROGRAM, SIMULATOR, 6, full=False,
                                            arguments=("--trace", trace_path))
        # Some readout ticks, each four position queries.
        wait_until(lambda: sum(line.startswith("TP") for line in read_wire_log(log)) >= 20,
                   what="the position readout")
        program.terminate()
        program.wait(timeout=30)

        entries = read_trace(trace_path)
        self.assertTrue(all(entries), "every line has a time, a direction and what went")
        self.assertEqual(entries[0].group(2, 3), ("--", "velmaro 1.2.0 started"))

        sent = [unescape(entry.group(3)) for entry in entries if entry.group(2) == "->"]
        # The program may have been stopped between tracing a line and sending it; the simulator
        # logs what was sent as it reads it.
        received = wait_until(lambda: len(sent) - len(r := read_wire_log(log)) <= 1 and r,
                              what="the simulator to log what was sent")
        self.assertIn(len(sent) - len(received), (0, 1))
        self.assertEqual([line[:-1] for line in sent[:len(received)]], received)

        # The first answer taken is the lens initialisation check's.
        first_answer = next(i for i, entry in enumerate(entries) if entry.group(2) == "<-")
        self.assertEqual(unescape(entries[first_answer - 1].group(3)), "init = @OUT[01];init=?\r")


if __name__ == "__main__":
    main()
