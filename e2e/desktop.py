"""A virtual desktop for end-to-end tests: Xvfb (with openbox, or focus given by hand), the
simulator on a pseudo-terminal, an FTP update server on loopback, xdotool as the operator.
Every wait has one generous deadline; a failing test tells what it saw (see main())."""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unicodedata
import unittest

FTP_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "testsupport",
                          "ftpserver.py")
UPDATE_USER = "ruz_uvavurud"
# Typed on the main window, it opens the full window.
SERVICE_CODE = ("Escape", "u", "n", "v", "k", "n")
COMPACT_SIZE = (132, 320)  # 1980 x 4800 twips at 15 twips a pixel
FULL_SIZE = (987, 767)
FULL_CORNER = (1, 1)  # left 10, top 10 twips


# A deadline for a test that is stuck, on a busy machine too; never a measure of the program.
DEADLINE = 30.0


def wait_until(check, timeout=DEADLINE, what="a condition"):
    """Gives check()'s first true value, polling until the deadline."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"timed out after {timeout:g} s waiting for {what}")


# Whatever a failing test can look at: each has tell(test name), which prints what it shows.
WITNESSES = []


class _TellingResult(unittest.TextTestResult):
    def addFailure(self, test, err):
        super().addFailure(test, err)
        self.tell(test)

    def addError(self, test, err):
        super().addError(test, err)
        self.tell(test)

    @staticmethod
    def tell(test):
        name = test.id().rsplit(".", 1)[-1]
        for witness in list(WITNESSES):
            try:
                witness.tell(name)
            except Exception as error:  # what is seen must not hide the failure
                print(f"--- could not look: {error!r}", file=sys.stderr)


def main():
    """Runs the tests; a failure prints what every desktop and browser showed, and keeps files."""
    unittest.main(argv=sys.argv[:1], testRunner=unittest.TextTestRunner(
        resultclass=_TellingResult, verbosity=2))


def tail(path, lines=60):
    with open(path, encoding="utf-8", errors="replace") as text:
        return "".join(text.readlines()[-lines:])


class BrowserWitness:
    """A browser's page at a failure: its address, its text and a screenshot."""

    def __init__(self, browser, artefacts):
        self.browser, self.artefacts = browser, artefacts

    def tell(self, test):
        shot = os.path.join(self.artefacts, f"failed-{test}.png")
        self.browser.save_screenshot(shot)
        text = self.browser.execute_script("return document.body ? document.body.innerText : ''")
        print(f"\n--- the browser was at {self.browser.current_url}\n--- screenshot: {shot}\n"
              f"--- the page's text:\n{text}", file=sys.stderr)


class Desktop:
    def __init__(self, artefacts, window_manager=True):
        self.artefacts = artefacts
        os.makedirs(artefacts, exist_ok=True)
        # The test's and its programs' folders, in the build tree; kept when a test failed.
        self.root = tempfile.mkdtemp(prefix="desktop-", dir=artefacts)
        self.failed = False
        self.ports = self.folder("ports")
        self.processes = []
        self.outputs = []
        WITNESSES.append(self)
        read_end, write_end = os.pipe()
        # -noreset: otherwise the server resets when its last client leaves, and a program
        # started in that moment cannot open the display.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            display = reader.readline().strip()
        if not display:
            raise RuntimeError("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + display, VELMARO_PORT_DIR=self.ports,
                        TMPDIR=self.folder("tmp"))
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        # The server repeats a key held past 660 ms: on a busy machine, a stalled xdotool between
        # a press and its release typed a key twice, and a service code failed now and then.
        subprocess.run(["xset", "r", "off"], env=self.env, check=True)
        self.window_manager = window_manager
        if window_manager:
            self.start_window_manager()

    def start_window_manager(self):
        """openbox with its stock settings; ready once it has framed a window. It names itself
        on the screen early in its start-up, and a window mapped before its event loop runs can
        wait unframed for the next event that reaches it; so a probe window is framed first,
        with the root touched at each look to give it that event."""
        self.processes.append(subprocess.Popen(
            ["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL))
        wait_until(lambda: "window id" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, capture_output=True,
            text=True).stdout, what="the window manager")
        probe = subprocess.Popen(["xlogo", "-title", "window-manager-probe"], env=self.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def framed():
            subprocess.run(["xprop", "-root", "-f", "_VELMARO_PROBE", "32c", "-set",
                            "_VELMARO_PROBE", "1"], env=self.env, capture_output=True)
            return self.shown("^window-manager-probe$")
        try:
            wait_until(framed, what="the window manager to frame a window")
        finally:
            probe.terminate()
            probe.wait(timeout=DEADLINE)

    def start_simulator(self, simulator, port, *options):
        log = os.path.join(self.ports, f"wire-COM{port}.log")
        process = subprocess.Popen(
            [simulator, "--port-dir", self.ports, "--port", str(port), "--log", log, *options],
            stdout=subprocess.DEVNULL, env=self.env)
        self.processes.append(process)
        link = os.path.join(self.ports, f"COM{port}")
        wait_until(lambda: os.path.islink(link), what=f"the simulator's link {link}")
        return log

    BUILT_IN = "built-in"

    def start_program(self, program, *arguments, update_host=None, cwd=None):
        """Starts the program; its update check asks `update_host`: by default a closed port, so
        that it goes on at once, or Desktop.BUILT_IN, the build's. output(process) reads it."""
        env = dict(self.env, VELMARO_UPDATE_HOST=update_host or closed_port())
        if update_host == Desktop.BUILT_IN:
            del env["VELMARO_UPDATE_HOST"]
        path = os.path.join(self.folder("output"), os.path.basename(program) + ".txt")
        with open(path, "wb") as sink:
            process = subprocess.Popen([program, *arguments], env=env, cwd=cwd, stdout=sink,
                                       stderr=subprocess.STDOUT)
        self.processes.append(process)
        self.outputs.append((process, path))
        return process

    def output(self, process):
        """What the program has written to its standard output and error so far."""
        with open(next(path for p, path in self.outputs if p is process), "rb") as text:
            return text.read().decode()

    def tell(self, test):
        self.failed = True
        print(f"\n--- the desktop's files are kept in {self.root}", file=sys.stderr)
        print(f"--- the screen: {self.screenshot('root', f'failed-{test}.png')}", file=sys.stderr)
        for process, path in self.outputs:
            state = "running" if process.poll() is None else f"ended {process.returncode}"
            print(f"--- {' '.join(process.args)} ({state}), the end of its output:\n{tail(path)}",
                  file=sys.stderr)

    def start_ftp_server(self, directory, port=0):
        """Serves `directory` to the build's update account on `port` or a free one: host:port."""
        process = subprocess.Popen(
            ["/usr/bin/python3", FTP_SERVER, "--dir", directory, "--user", UPDATE_USER,
             "--password", os.environ["VELMARO_UPDATE_PASSWORD"], "--port", str(port)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.processes.append(process)
        line = process.stdout.readline()
        if not line.startswith("port "):
            raise RuntimeError("the FTP server did not start")
        return "127.0.0.1:" + line.split()[1]

    def open_lens(self, program, simulator, port, simulator_options=(), arguments=(), full=True,
                  **options):
        """Starts the simulator on COM<port> and the program, chooses the port, waits for the
        start-up and, if `full`, types the service code: the program, its window, the wire log."""
        log = self.start_simulator(simulator, port, *simulator_options)
        process = self.start_program(program, *arguments, **options)
        self.window("T7342 Galil V1.0")
        # The list is the only control: arrow keys step through it and choose.
        self.xdotool("key", "--clearmodifiers", "Down")
        main = self.window("T7342 Galil")
        wait_until(lambda: "PAW=focusmin;BGW" in read_wire_log(log), what="the start-up")
        if full:
            self.open_full_window(main)
        return process, main, log

    def open_full_window(self, main):
        """Types the service code unless the window is full, and waits until it is full in its
        place: it grows first and moves after, and a click must not land where it was."""
        if self.outer_geometry(main)[2:] != FULL_SIZE:
            self.xdotool("key", "--clearmodifiers", *SERVICE_CODE)
        wait_until(lambda: self.outer_geometry(main) == (*FULL_CORNER, *FULL_SIZE),
                   what="the full window in its place")

    def start_full_stroke(self, main):
        """Ticks Full stroke and presses START (X gives the program the clicks in order)."""
        self.click(main, *FULL_STROKE_BOX)
        self.click(main, *START)

    def answer(self, title, key="Return"):
        """Answers the box `title` with `key` once it is there, and waits until it has gone."""
        self.window(title)
        self.xdotool("key", "--clearmodifiers", key)
        wait_until(lambda: not self.shown(f"^{title}$"), what=f"the box '{title}' to close")

    def shown(self, title):
        """The visible windows whose title matches the regular expression `title`."""
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                              env=self.env, capture_output=True, text=True).stdout.split()

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                                timeout=20)
        if result.returncode != 0:
            raise AssertionError(f"xdotool {' '.join(args)} failed: {result.stderr.strip()}")
        return result.stdout.strip()

    def window(self, title):
        """Waits for the window with exactly this title and gives it the focus."""
        window = wait_until(lambda: self.shown(f"^{title}$"), what=f"the window '{title}'")[0]
        self.focus(window)
        return window

    def focus(self, window):
        # Only a window manager can activate a window; without one, focus is all there is.
        self.xdotool("windowactivate" if self.window_manager else "windowfocus", "--sync", window)

    def geometry(self, window):
        """x, y, width and height of the window on the screen, without a frame. (xdotool's
        getwindowgeometry counts the offset within a window manager's frame twice.)"""
        info = subprocess.run(["xwininfo", "-id", window], env=self.env, capture_output=True,
                              text=True, check=True, timeout=20).stdout
        values = dict(line.strip().split(": ", 1) for line in info.splitlines() if ": " in line)
        return tuple(int(values[key]) for key in ("Absolute upper-left X", "Absolute upper-left Y",
                                                  "Width", "Height"))

    def outer_geometry(self, window):
        """x, y, width and height of the window with its frame (_NET_FRAME_EXTENTS), if any."""
        extents = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], env=self.env,
                                 capture_output=True, text=True).stdout
        found = re.search(r"=\s*(\d+), (\d+), (\d+), (\d+)", extents)
        left, right, top, bottom = map(int, found.groups()) if found else (0, 0, 0, 0)
        x, y, width, height = self.geometry(window)
        return x - left, y - top, width + left + right, height + top + bottom

    def mouse(self, window, at, *actions):
        """Does the xdotool `actions` at a point of the window, in pixels from its corner."""
        self.xdotool("mousemove", "--window", window, str(at[0]), str(at[1]), *actions)

    def click(self, window, x, y):
        self.mouse(window, (x, y), "click", "1")

    def pixels(self, box, name=None):
        """The (r, g, b) of a box of the screen, row by row; kept as artefact `name` if given."""
        x, y, width, height = box
        data = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                               "-depth", "8", "rgb:-"], env=self.env, capture_output=True,
                              check=True, timeout=20).stdout
        if name:
            subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "rgb:-",
                            os.path.join(self.artefacts, name)], input=data, check=True, timeout=20)
        return [tuple(data[i:i + 3]) for i in range(0, len(data) - 2, 3)]

    def screenshot(self, window, name):
        path = os.path.join(self.artefacts, name)
        subprocess.run(["import", "-window", window, path], env=self.env, check=True, timeout=20)
        return path

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
        self.xvfb.terminate()
        self.xvfb.wait(timeout=5)
        if self in WITNESSES:
            WITNESSES.remove(self)
        if not self.failed:
            shutil.rmtree(self.root, ignore_errors=True)

    def folder(self, name):
        """A new empty folder of the test's own, gone when the desktop closes."""
        return tempfile.mkdtemp(prefix=name + "-", dir=self.root)


def closed_port():
    """host:port of a loopback port that nothing listens on."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return "127.0.0.1:%d" % probe.getsockname()[1]


def read_wire_log(path):
    """The lines the simulator received, in order, as sent (without their carriage return)."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="ascii", errors="replace") as log:
        return [line.rstrip("\n").split("\t", 1)[1] for line in log if "\t" in line]


def readouts_pass(log, count=40, timeout=DEADLINE):
    """Waits for `count` more position questions on the wire (four a tick of the readout, five
    ticks a second): proof that the program went on."""
    def readouts():
        return sum(line.startswith("TP") for line in read_wire_log(log))
    start = readouts()
    wait_until(lambda: readouts() >= start + count, timeout, f"{count} more readouts")


def twips_centre(left, top, width, height):
    """The centre of a control placed in twips, in pixels at 96 dpi (15 twips a pixel)."""
    return (left + width // 2) // 15, (top + height // 2) // 15


# The "Running Up" frame's controls: centres in pixels on the main window.
RUNNING_UP = (120, 8760)  # the frame's corner, in twips
LIST1 = (RUNNING_UP[0] + 7800) // 15, (RUNNING_UP[1] + 600) // 15, 428, 100


def in_running_up(left, top, width, height):
    """Centre, in pixels on the window, of a control placed in the frame at these twips."""
    return twips_centre(RUNNING_UP[0] + left, RUNNING_UP[1] + top, width, height)


FULL_STROKE_BOX = in_running_up(240, 870, 2520, 315)
START = in_running_up(240, 1440, 1200, 570)
ABORT = in_running_up(1560, 1440, 1200, 570)


def pdf_words(pdf, page=1):
    """A PDF page's text as words between single blanks, with typographic ligatures undone."""
    text = subprocess.run(["pdftotext", "-f", str(page), "-l", str(page), pdf, "-"],
                          capture_output=True, text=True, check=True, timeout=60).stdout
    return " ".join(unicodedata.normalize("NFKC", text).split())
