"""What the README tells a user to type, typed: every command of its ```sh blocks runs as it
stands, in a scratch folder and home, against this build (its bin folder leads PATH), and what it
prints and how it ends match the README. A command a test cannot run is excused below by name,
so that a new command nobody looked at fails this test. Only placeholders are replaced."""

import os
import pwd
import re
import select
import socket
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import unittest
import urllib.request
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "testsupport"))
from pgserver import PgServer  # noqa: E402

from desktop import ABORT, Desktop, main, pdf_words, wait_until
from camtable_e2e import CARICA, SALVA

PROGRAM, SIMULATOR, ARTEFACTS, REPORT = sys.argv[1:5]
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.dirname(PROGRAM)
PG_BIN = "/usr/lib/postgresql/15/bin"
OPERATOR = pwd.getpwuid(os.geteuid()).pw_name

# Commands the test cannot run, and why, keyed as commands() keys them.
BUILDS_THE_TREE = "builds in the source tree, and so reconfigures the build under test"
EXCUSED = {
    "tools/run-velmaro": BUILDS_THE_TREE + "; its simulator and program are run below by hand",
    "tools/run-tests": "the whole test command; this test is one of its tests",
    "sudo apt install ./velmaro_1.2.0_amd64.deb":
        "installs into the system; the package test unpacks and runs the package",
    "xvfb-run -a -s '-screen 0 1280x1024x24' tools/run-velmaro": BUILDS_THE_TREE,
    "cmake --preset default -DVELMARO_UPDATE_HOST=ftp.example.com "
    "-DVELMARO_UPDATE_PASSWORD=the_account_password": BUILDS_THE_TREE,
    "cmake --build --preset default": BUILDS_THE_TREE,
    'cmake --preset default -DVELMARO_UPDATE_PUBLIC_KEY="$key" '
    "-DVELMARO_UPDATE_HOST=ftp.example.com -DVELMARO_UPDATE_PASSWORD=the_account_password":
        BUILDS_THE_TREE + "; the key's own check (update/updatekey.cmake) is run on $key instead",
    "cmake --workflow --preset default": BUILDS_THE_TREE,
    "cmake --workflow --preset asan": "builds and runs the whole suite under sanitizers",
    "cmake --build --preset default --target warnings": BUILDS_THE_TREE,
    "build/default/bin/channel_bench": "a benchmark: figures, no verdict, tens of seconds",
    "build/default/bin/report_bench": "a benchmark: figures, no verdict",
    "cmake --build --preset default --target program_bench": "a benchmark of about 40 s",
    "tools/package": BUILDS_THE_TREE,
    "build/default/bin/runin_bench": "a benchmark of about 5 minutes",
    "tools/fuzz 3600": "an hour of fuzzing in a build of its own",
    "tools/plant-pictures": BUILDS_THE_TREE + " and draws into docs/",
    "VELMARO_SOAK_SECONDS=600 ctest --preset default -R e2e.soak -V":
        "another test, ten minutes per fault",
}


def placeholders(test):
    """(what the README writes, what the test puts in its place, why)."""
    return [
        ("/media/keys", test.keys,
         "the maker's key disk: the test's own folder, outside every tree, removed after"),
        ("sudo -u postgres psql", f"{PG_BIN}/psql -h 127.0.0.1 -p {test.pg_port} -U postgres",
         "the database server's own superuser, here of the test's own PostgreSQL"),
        ("host=db.example port=5432", f"host=127.0.0.1 port={test.pg_port}",
         "the plant's server: the test's PostgreSQL, on a free port"),
        ("host=db.example", f"host=127.0.0.1 port={test.pg_port}", "the same"),
        ("3f2a9c1e", test.run_id[:8], "an example id: the beginning of the run the test stored"),
        ("7c41d2e0", test.cam_ids[0][:8], "an example id: the first cam table the test kept"),
        ("b93a0f11", test.cam_ids[1][:8], "another: the second, a whole table"),
        ("/tmp/ports", os.path.join(test.scratch, "ports"),
         "a shared folder; the test's own keeps parallel runs apart and leaves nothing behind"),
        ("127.0.0.1:2121", test.ftp_host, "the FTP server the test starts, on a free port"),
    ]


def commands(text):
    """(line, command as typed, key: without its comment, blanks collapsed) for each command of
    the ```sh blocks; a backslash continues one, a comment-only line belongs to the one above."""
    found, in_block, pending = [], False, None
    for number, line in enumerate(text.splitlines(), 1):
        if not in_block:
            in_block = line.strip() == "```sh"
            continue
        if line.strip().startswith("```"):
            in_block = False
            continue
        if line.strip().startswith("#"):
            continue
        code = without_comment(line)
        if pending:
            start, typed, key = pending
            typed, key = typed + "\n" + line, key + " " + code.rstrip("\\")
        else:
            start, typed, key = number, line, code.rstrip("\\")
        pending = (start, typed, key) if code.endswith("\\") else None
        if not pending:
            found.append((start, typed, " ".join(key.split())))
    return found


def without_comment(line):
    quote = None
    for i, c in enumerate(line):
        if quote:
            quote = None if c == quote else quote
        elif c in "'\"":
            quote = c
        elif c == "#" and (i == 0 or line[i - 1].isspace()):
            return line[:i].strip()
    return line.strip()


def listening(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


def block_after(text, first_line):
    """The lines of the fenced block (any kind) whose first line is `first_line`."""
    match = re.search(r"^```\w*\n(" + re.escape(first_line) + r"\n.*?)^```", text, re.M | re.S)
    return match.group(1) if match else None


class Readme(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as readme:
            cls.text = readme.read()
        # Class cleanups undo it all, after a failed setUpClass too (once the failure is told).
        cls.keys = tempfile.mkdtemp(prefix="velmaro-readme-keys-")  # outside every tree
        os.rmdir(cls.keys)  # keygen makes it, as on a fresh disk
        cls.addClassCleanup(shutil.rmtree, cls.keys, ignore_errors=True)
        cls.desktop = Desktop(ARTEFACTS)
        cls.addClassCleanup(cls.desktop.close)
        cls.scratch = cls.desktop.folder("readme")
        cls.home = os.path.join(cls.scratch, "home")
        os.makedirs(os.path.join(cls.scratch, "build", "default"))
        os.makedirs(cls.home)
        os.symlink(BIN, os.path.join(cls.scratch, "build", "default", "bin"))
        for folder in ("tools", "update"):
            os.symlink(os.path.join(SOURCE, folder), os.path.join(cls.scratch, folder))
        # A user's shell over ssh: no display, no platform chosen for Qt, no settings of ours.
        cls.env = {k: v for k, v in os.environ.items() if not k.startswith(("VELMARO_", "XDG_"))
                   and k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        cls.env.update(HOME=cls.home, XDG_DATA_HOME=os.path.join(cls.home, ".local", "share"),
                       XDG_CONFIG_HOME=os.path.join(cls.home, ".config"),
                       XDG_RUNTIME_DIR=os.path.join(cls.scratch, "run"),
                       VELMARO_DRIVE_C=cls.home, PATH=BIN + os.pathsep + os.environ["PATH"])
        os.mkdir(cls.env["XDG_RUNTIME_DIR"], 0o700)
        cls.run_id, cls.cam_ids = "", ["", ""]
        cls.desktop.env.update({k: v for k, v in cls.env.items() if k != "PATH"})
        cls.desktop.env.pop("VELMARO_RUNS_DB", None)
        served = os.path.join(cls.scratch, "served")
        os.makedirs(served)
        with open(os.path.join(served, "VerVelmaro.txt"), "w") as version:
            version.write("1.2.0\r\n")
        cls.ftp_host = cls.desktop.start_ftp_server(served)
        # The plant: a PostgreSQL server of the test's own, its superuser `postgres` as typed.
        cls.pg_server = PgServer(superuser="postgres", database=None)
        cls.addClassCleanup(cls.pg_server.close)
        cls.pg_server.start()
        cls.pg_port = cls.pg_server.port
        cls.plant_as_the_readme_makes_it()
        cls.store_a_run()

    @classmethod
    def plant_sql(cls, sql):
        return cls.pg_server.run("psql", "-h", "127.0.0.1", "-p", str(cls.pg_port), "-U",
                                 "postgres", "-d", "velmaro_runs", "-tAc", sql).stdout.strip()

    @classmethod
    def plant_as_the_readme_makes_it(cls):
        made = [typed for _, typed, key in commands(cls.text) if key.startswith("sudo -u postgres")]
        assert len(made) == 2, "the README makes the plant's user and database"
        for typed in made:
            result = cls.sh(typed)
            assert result.returncode == 0, result.stderr
        settings = block_after(cls.text, "# ~/.config/velmaro/velmaro.conf")
        assert settings, "the README shows the settings file that names the plant"
        path = os.path.join(cls.home, ".config", "velmaro", "velmaro.conf")
        os.makedirs(os.path.dirname(path))
        with open(path, "w") as conf:
            conf.write(cls.substituted(settings))

    @classmethod
    def store_a_run(cls):
        """In the real program: the empty cam table saved, a whole one loaded and saved; then a
        run ended by ABORT, its logs in the scratch folder, stored and sent to the plant."""
        program, main, _ = cls.desktop.open_lens(PROGRAM, SIMULATOR, 2, ("--time-scale", "4"),
                                                 cwd=cls.scratch)
        camma = os.path.join(cls.home, "Camma.txt")
        cls.desktop.click(main, *SALVA)
        wait_until(lambda: os.path.exists(camma), what="~/Camma.txt saved")
        with open(camma, "wb") as table:  # 75 to 500 mm, both zooms in even steps
            table.write(b"".join(b"%d;%d;%d\r\n" % (75 + 5 * k, 40 * k, 900 - 10 * k)
                                 for k in range(86)))
        written = os.stat(camma).st_ino
        cls.desktop.click(main, *CARICA)
        cls.desktop.answer("Conferma.")
        cls.desktop.window("T7342 Galil")
        cls.desktop.click(main, *SALVA)  # a save replaces the file
        wait_until(lambda: os.stat(camma).st_ino != written, what="the loaded table saved")
        cls.desktop.start_full_stroke(main)
        complete = os.path.join(cls.scratch, "Log Complete.txt")

        def lines():
            with open(complete, "rb") as log:
                return log.read().count(b"\n")
        wait_until(lambda: os.path.exists(complete) and lines() >= 4, timeout=60,
                   what="four moves logged")
        # The plant sees the run under way, then ended (the snapshots are the keeper's tests').
        progress = "SELECT run_id || ' ' || ended FROM run_progress"
        under_way = wait_until(lambda: (p := cls.plant_sql(progress)).endswith(" 0") and p,
                               timeout=60, what="the run under way seen by the plant")
        cls.desktop.click(main, *ABORT)
        cls.run_id = wait_until(lambda: cls.station_ids("runs"), timeout=60,
                                what="the run stored")[0]
        wait_until(lambda: cls.plant_sql("SELECT count(*) FROM runs") == "1", timeout=60,
                   what="the run sent to the plant")
        wait_until(lambda: cls.plant_sql(progress) == f"{cls.run_id} 1", timeout=60,
                   what="the plant seeing the run ended")
        assert under_way.startswith(cls.run_id), (under_way, cls.run_id)
        program.send_signal(signal.SIGTERM)
        program.wait(timeout=30)
        # Kept cam tables, where the build keeps them: the empty one first.
        cls.cam_ids = cls.station_ids("cam_records", "saved") + ["", ""]
        if cls.cam_ids[0]:
            wait_until(lambda: cls.plant_sql("SELECT count(*) FROM cam_records") == "2",
                       timeout=60, what="the kept cam tables sent to the plant")

    @classmethod
    def station(cls):
        return os.path.join(cls.env["XDG_DATA_HOME"], "velmaro", "runs.sqlite")

    @classmethod
    def station_ids(cls, table, order="id"):
        if not os.path.exists(cls.station()):
            return []
        with sqlite3.connect(cls.station(), timeout=10) as db:
            if not db.execute("SELECT 1 FROM sqlite_master WHERE name = ?", (table,)).fetchone():
                return []
            return [id for id, in db.execute(f"SELECT id FROM {table} ORDER BY {order}")]

    @classmethod
    def substituted(cls, typed):
        for placeholder, replacement, _ in placeholders(cls):
            typed = typed.replace(placeholder, replacement)
        return typed

    @classmethod
    def sh(cls, typed):
        """Runs a command as typed (placeholders replaced) in the scratch folder."""
        return subprocess.run(["bash", "-c", cls.substituted(typed)], cwd=cls.scratch,
                              env=cls.env, capture_output=True, text=True, timeout=60)

    def ok(self, typed, status=0):
        result = self.sh(typed)
        self.assertEqual(result.returncode, status, f"{typed}\n{result.stdout}{result.stderr}")
        return result

    def path(self, *parts):
        return os.path.join(self.scratch, *parts)

    def pdf_made(self, name):
        return lambda typed: self.ok(typed) and self.assert_pdf(name)

    def assert_pdf(self, name):
        with open(self.path(name), "rb") as pdf:
            self.assertEqual(pdf.read(5), b"%PDF-", name)
        return pdf_words(self.path(name))

    def window_of(self, typed, title="T7342 Galil V1.0"):
        """Starts a command that opens a window, on the test's display, and waits for it."""
        process = self.background(typed, DISPLAY=self.desktop.env["DISPLAY"])
        try:
            self.desktop.window(title)
        except AssertionError:
            raise AssertionError(f"no window '{title}' of: {typed}\n{self.stop(process)}")
        return process

    def background(self, typed, **env):
        """Starts a command that runs until stopped, in a session of its own."""
        process = subprocess.Popen(["bash", "-c", self.substituted(typed)], cwd=self.scratch,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                   env=dict(self.env, **env), start_new_session=True)
        self.addCleanup(self.stop, process)
        return process

    @staticmethod
    def stop(process):
        """SIGTERM to the command and what it started, as Ctrl+C would; gives its output."""
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
        return process.communicate(timeout=30)[0]

    # --- one method per command (or group of commands the README runs together) ---

    def test_every_command_is_run_or_excused(self):
        handlers = self.handlers()
        listed = commands(self.text)
        self.assertTrue(listed)
        for number, typed, key in listed:
            if key in handlers:
                with self.subTest(line=number, command=key):
                    handlers[key](typed)
        unknown = [(n, key) for n, _, key in listed if key not in handlers and key not in EXCUSED]
        self.assertEqual(unknown, [], "README commands nobody looked at: add them here")
        keys = {key for _, _, key in listed}
        self.assertEqual(sorted((set(handlers) | set(EXCUSED)) - keys), [],
                         "commands this test knows that the README no longer has")

    def handlers(self):
        made = "made with the plant: checked that it is there"
        runs = "velmaro-report --runs"
        return {
            # What reports hold is other tests'; here that the README's lines make them.
            'velmaro-report "Log Complete.txt"': self.pdf_made("Log Complete.pdf"),
            'velmaro-report --errors "Log Errors.txt" --cam ~/Camma.txt -o lens-4711.pdf '
            '"Log Complete.txt"': self.pdf_made("lens-4711.pdf"),
            "sudo -u postgres psql -c \"CREATE USER velmaro WITH PASSWORD '********'\"":
                lambda _: self.assertEqual(self.plant_sql(
                    "SELECT count(*) FROM pg_roles WHERE rolname = 'velmaro'"), "1", made),
            'sudo -u postgres psql -c "CREATE DATABASE velmaro_runs OWNER velmaro"':
                lambda _: self.assertEqual(self.plant_sql(
                    "SELECT pg_get_userbyid(datdba) FROM pg_database "
                    "WHERE datname = 'velmaro_runs'"), "velmaro", made),
            runs: self.runs_listed,
            runs + " --serial L-4711 --station bench-2 --since 2026-12-01": self.runs_filtered,
            "velmaro-report --run 3f2a9c1e --serial L-4711": self.serial_given,
            "velmaro-report --run latest -o lens-4711.pdf": self.stored_run_report,
            "velmaro-report --history --since 2026-11-01 -o history.pdf":
                self.pdf_made("history.pdf"),
            "velmaro-report --sync": self.synced,
            "velmaro-report --lens L-4711": self.ok,
            "velmaro-report --lens": lambda typed: self.assertEqual(
                self.ok(typed).stdout.strip(), "L-4711", "the lens set just before"),
            "velmaro-report --lens none": lambda typed: self.ok(typed) and self.assertEqual(
                self.ok("velmaro-report --lens").stdout.strip(), "none"),
            "velmaro-report --cams --serial L-4711": self.cams_of_lens,
            "velmaro-report --cam-record latest -o Camma.txt": self.cam_written,
            "velmaro-report --cam-record 7c41d2e0 --serial L-4711": self.cam_serial_given,
            "velmaro-report --cam-record latest --check": self.cam_checked,
            "velmaro-report --cam-diff 7c41d2e0 b93a0f11": self.cams_compared,
            "velmaro-report --quality --since 2026-01-01": self.quality,
            "velmaro-report --quality --station bench-2 --csv > quality.csv":
                lambda typed: self.csv_of_nothing(typed, "quality.csv"),
            "velmaro-report --runs --csv --operator anna --verdict fail --until 2026-06-30 > "
            "failed.csv": lambda typed: self.csv_of_nothing(typed, "failed.csv"),
            "velmaro-plant": self.plant_page,
            'VELMARO_RUNS_DB="host=db.example dbname=velmaro_runs user=velmaro_web '
            'password=********" velmaro-plant': self.plant_page_read_only,
            "key=$(tools/velmaro-sign keygen /media/keys)": self.keygen,
            "tools/velmaro-sign sign /media/keys/velmaro-update.key UpdateVelmaro.exe": self.sign,
            "VELMARO_UPDATE_HOST=127.0.0.1:2121 build/default/bin/velmaro": self.update_check,
            "mkdir -p ~/velmaro-ports": self.ok,
            "ln -sf /dev/ttyUSB0 ~/velmaro-ports/COM5": self.ok,
            "VELMARO_PORT_DIR=~/velmaro-ports build/default/bin/velmaro": self.ports_of_a_link,
            "build/default/bin/velmaro-sim --port-dir /tmp/ports --port 3 --log "
            "/tmp/ports/wire.log": self.simulator_by_hand,
            "VELMARO_PORT_DIR=/tmp/ports build/default/bin/velmaro": self.program_on_simulator,
        }

    def runs_listed(self, typed):
        listed = self.ok(typed).stdout
        # id, start, duration, station, serial, end, cycles, verdict; read from the plant.
        self.assertRegex(listed, rf"(?m)^{self.run_id[:8]} +\d{{4}}-\d\d-\d\d \d\d:\d\d:\d\d +"
                                 rf"\d.* s +{re.escape(os.uname().nodename)} +- +stopped by ABORT +"
                                 r"\d+ +(no error above 10|\d+ errors? above 10.*)$")
        self.assertIn("1 run(s) in the plant database velmaro_runs on 127.0.0.1", listed)

    def runs_filtered(self, typed):
        self.assertIn("\n0 run(s) in the plant database", "\n" + self.ok(typed).stdout,
                      "another station's runs only")

    def serial_given(self, typed):
        self.ok(typed)
        self.assertIn(self.run_id[:8], self.ok("velmaro-report --runs --serial L-4711").stdout)

    def stored_run_report(self, typed):
        self.ok(typed)
        words = self.assert_pdf("lens-4711.pdf")
        self.assertIn(f"Run {self.run_id}", words)
        self.assertIn("Lens serial L-4711", words)
        # The run was stored at ABORT with its logs byte for byte as the program left them.
        with sqlite3.connect(self.station(), timeout=10) as db:
            stored = db.execute("SELECT log_complete, log_errors FROM runs").fetchone()
        for name, blob in zip(("Log Complete.txt", "Log Errors.txt"), stored):
            with open(self.path(name), "rb") as log:  # qCompress: a length, then zlib
                self.assertEqual(zlib.decompress(blob[4:]) if blob[:4] != bytes(4) else b"",
                                 log.read(), name)
        self.assertIn("ffffffff", self.ok("velmaro-report --run ffffffff", 2).stderr)

    def synced(self, typed):
        self.ok(typed)
        self.assertEqual(self.plant_sql("SELECT serial FROM runs"), "L-4711",
                         "the serial given on the station reaches the plant")

    def cams_of_lens(self, typed):
        # Both kept before the lens was set.
        self.assertIn("\n0 cam table(s) in ", "\n" + self.ok(typed).stdout)

    def cam_written(self, typed):
        self.ok(typed)
        with open(self.path("Camma.txt"), "rb") as kept, \
                open(os.path.join(self.home, "Camma.txt"), "rb") as saved:
            self.assertEqual(kept.read(), saved.read(), "the latest save, byte for byte")

    def cam_serial_given(self, typed):
        self.ok(typed)
        listed = self.ok("velmaro-report --cams --serial L-4711 --local").stdout
        # id, time, station, operator, serial, rows recorded
        self.assertRegex(listed, rf"(?m)^{self.cam_ids[0][:8]} +\d{{4}}-\d\d-\d\d \d\d:\d\d:\d\d +"
                                 rf"{re.escape(os.uname().nodename)} +{re.escape(OPERATOR)} +"
                                 r"L-4711 +0 of 86$")
        self.assertIn("\n1 cam table(s) in ", "\n" + listed)

    def cam_checked(self, typed):
        said = self.ok(typed).stdout  # whole, Zoom 1 one way, no jumps
        self.assertIn("Rows recorded: 86 of 86", said)
        self.assertIn("The table passes", said)

    def cams_compared(self, typed):
        said = self.ok(typed, 1).stdout  # the empty table and the whole one differ
        self.assertRegex(said, r"(?m)^ *500 mm .*\b3400\b")  # the last row's Zoom 1

    def quality(self, typed):
        figures = self.ok(typed).stdout
        self.assertIn(os.uname().nodename, figures, "this week's run, from the plant")

    def csv_of_nothing(self, typed, name):
        """Filters the test's run does not pass: a header, and no line of the run."""
        self.ok(typed)
        with open(self.path(name), encoding="utf-8") as csv:
            lines = csv.read().splitlines()
        self.assertGreater(lines[0].count(","), 2, lines)
        self.assertFalse([line for line in lines if os.uname().nodename in line], lines)

    def plant_page(self, typed):
        """Serves at the address the README gives; the front page shows the stored run."""
        wait_until(lambda: not listening(8470), timeout=60,  # another test's page, going away
                   what="127.0.0.1:8470 free")
        plant = self.background(typed)
        try:
            said = []
            while not said or not said[-1].startswith("Listening"):
                ready, _, _ = select.select([plant.stdout], [], [], 60)
                said.append(plant.stdout.readline() if ready else "")
                self.assertTrue(said[-1], f"velmaro-plant says when it listens: {said}")
            self.assertEqual(said[-1], "Listening on http://127.0.0.1:8470/\n")
            with urllib.request.urlopen("http://127.0.0.1:8470/", timeout=30) as page:
                self.assertEqual(page.status, 200)
                self.assertIn(self.run_id[:8], page.read().decode("utf-8"))
        finally:
            self.stop(plant)
        self.assertEqual(plant.returncode, 0, "SIGTERM ends it cleanly")

    def plant_page_read_only(self, typed):
        # The README's grants for the page's user, as typed, on the plant's database.
        grants = block_after(self.text, "CREATE USER velmaro_web WITH PASSWORD '********';")
        self.assertIsNotNone(grants, "the README gives the page's user")
        self.plant_sql(grants)
        self.plant_page(typed)
        self.assertNotEqual(self.plant_sql("SELECT has_table_privilege('velmaro_web', 'runs', "
                                           "'INSERT')"), "t", "the page's user only reads")

    def keygen(self, typed):
        # As typed, then what the README says of $key.
        key = self.ok(typed + '\nprintf %s "$key"').stdout
        self.assertRegex(key, r"^[0-9a-f]{64}$")
        private = os.path.join(self.keys, "velmaro-update.key")
        self.assertEqual(os.stat(private).st_mode & 0o777, 0o600)
        self.assertEqual(self.ok(f"tools/velmaro-sign public {private}").stdout.strip(), key)
        # The configure's own check of the key (what it refuses is its own test's).
        self.ok(f'cmake -DKEY="{key}" -P update/updatekey.cmake')

    def sign(self, typed):
        with open(self.path("UpdateVelmaro.exe"), "wb") as updater:
            updater.write(b"MZ an updater's bytes\x00\xff")
        self.ok(typed)
        self.assertEqual(os.path.getsize(self.path("UpdateVelmaro.exe.sig")), 64)
        self.ok("openssl pkey -in /media/keys/velmaro-update.key -pubout -out public.pem")
        self.ok("openssl pkeyutl -verify -rawin -pubin -inkey public.pem -in UpdateVelmaro.exe "
                "-sigfile UpdateVelmaro.exe.sig")

    def update_check(self, typed):
        process = self.window_of(typed)
        output = self.stop(process)
        # The variable's server, not the build's, was asked.
        self.assertRegex(output, r"(?m)^Update check: the update server offers version 1\.2\.0")

    def ports_of_a_link(self, typed):
        # It opens the port selection, with no port to offer.
        self.stop(self.window_of(typed))
        # The README's own example of --ports, as typed, for the same folder.
        example = re.search(r"^\$ (VELMARO_PORT_DIR=~/velmaro-ports velmaro --ports)$",
                            self.text, re.M)
        self.assertIsNotNone(example, "the README shows --ports on this folder")
        said = self.ok(example.group(1), 1).stdout  # no port usable
        # What each line says is the ports test's; here the README's folder and link.
        ports = os.path.join(self.home, "velmaro-ports")
        self.assertRegex(said, rf"(?m)^COM5 +{ports}/COM5 -> /dev/ttyUSB0 +no device")

    def simulator_by_hand(self, typed):
        os.makedirs(self.path("ports"), exist_ok=True)
        self.__class__.simulator = self.background(typed)
        try:
            wait_until(lambda: os.path.islink(self.path("ports", "COM3")), timeout=30,
                       what="the link COM3")
        except AssertionError:
            raise AssertionError(f"no link COM3: {self.stop(self.simulator)}")

    def program_on_simulator(self, typed):
        program = self.window_of(typed)
        self.desktop.xdotool("key", "--clearmodifiers", "Down")  # COM3, the only port
        self.desktop.window("T7342 Galil")
        wire = self.path("ports", "wire.log")

        def started():
            with open(wire) as log:
                return "PAW=focusmin;BGW" in log.read()
        wait_until(lambda: os.path.exists(wire) and started(),
                   what="the start-up on the simulator's wire log")
        self.stop(program)
        said = self.stop(self.simulator)
        link = re.escape(self.path("ports", "COM3"))
        self.assertRegex(said, rf"^velmaro-sim: COM3 -> /dev/pts/\d+ \(link {link}\)")
        self.assertEqual(self.simulator.returncode, 0, "SIGTERM ends it cleanly")
        self.assertFalse(os.path.lexists(self.path("ports", "COM3")), "SIGTERM removes its link")


if __name__ == "__main__":
    main()
