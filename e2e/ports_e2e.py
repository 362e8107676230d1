"""`velmaro --ports` as an ordinary user with no display, against real pseudo-terminals: usable,
locked, forbidden, dangling and non-serial ports each get a line that says so."""

import fcntl
import grp
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM = sys.argv[1]

# Made when the test runs as root, so that permissions bind as for a technician: in the group,
# but running without it, as after being added during a session.
TEST_USER = "velmaro-test"
TEST_GROUP = "velmaro-test-port"


def unprivileged_user():
    """(prefix of the command line that drops to the test user, user name), or (None, reason)."""
    if os.geteuid() != 0:
        return [], pwd.getpwuid(os.geteuid()).pw_name
    steps = []
    try:
        grp.getgrnam(TEST_GROUP)
    except KeyError:
        steps.append(["groupadd", "--system", TEST_GROUP])
    try:
        pwd.getpwnam(TEST_USER)
    except KeyError:
        steps.append(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                      "--shell", "/usr/sbin/nologin", TEST_USER])
    steps.append(["usermod", "--append", "--groups", TEST_GROUP, TEST_USER])
    for step in steps:
        made = subprocess.run(step, capture_output=True, text=True)
        if made.returncode != 0:
            return None, f"cannot make the test user {TEST_USER}: {made.stderr.strip()}"
    entry = pwd.getpwnam(TEST_USER)
    return ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}", "--clear-groups",
            "--"], TEST_USER


class PortReport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix, cls.user = unprivileged_user()
        if cls.prefix is None:
            raise unittest.SkipTest(cls.user)
        cls.root = tempfile.mkdtemp(prefix="velmaro-ports-test-")
        os.chmod(cls.root, 0o755)
        # A copy the test user can surely run, wherever the build tree lies.
        cls.program = os.path.join(cls.root, "velmaro")
        shutil.copy(PROGRAM, cls.program)
        os.chmod(cls.program, 0o755)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.ports = tempfile.mkdtemp(dir=self.root)
        os.chmod(self.ports, 0o755)
        self.addCleanup(shutil.rmtree, self.ports, ignore_errors=True)

    def pty(self, port, mode):
        """A pseudo-terminal linked as COM<port>; returns its slave's fd and name."""
        master, slave = os.openpty()
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        name = os.ttyname(slave)
        os.chmod(name, mode)
        os.symlink(name, os.path.join(self.ports, f"COM{port}"))
        return slave, name

    def run_as_user(self, *arguments, port_dir=None):
        """The program as the ordinary user, with no display of any kind."""
        env = {"PATH": "/usr/bin:/bin", "HOME": self.root, "LANG": "C.UTF-8",
               "VELMARO_PORT_DIR": port_dir or self.ports}
        return subprocess.run([*self.prefix, self.program, *arguments], env=env,
                              capture_output=True, text=True, timeout=60)

    def report_lines(self, result):
        lines = result.stdout.splitlines()
        return {line.split()[0]: line for line in lines[1:-1]}, lines

    def test_each_port_says_whether_it_is_usable_and_why_not_and_a_missing_folder_is_named(self):
        _, usable = self.pty(1, 0o666)
        # Through a second link, as a link to /dev/serial/by-id/... is.
        by_id = os.path.join(self.ports, "usb-adapter-if00")
        os.rename(os.path.join(self.ports, "COM1"), by_id)
        os.symlink(by_id, os.path.join(self.ports, "COM1"))
        locked, _ = self.pty(2, 0o666)
        fcntl.flock(locked, fcntl.LOCK_EX | fcntl.LOCK_NB)
        os.symlink(os.path.join(self.root, "gone-ttyUSB0"), os.path.join(self.ports, "COM4"))
        os.symlink("/dev/null", os.path.join(self.ports, "COM5"))
        plain = os.path.join(self.ports, "notes.txt")
        with open(plain, "w") as notes:
            notes.write("not a port\n")
        os.symlink(plain, os.path.join(self.ports, "COM6"))

        result = self.run_as_user("--ports")
        self.assertEqual(result.returncode, 0, result.stderr)
        ports, lines = self.report_lines(result)
        print(result.stdout)
        self.assertIn(self.ports, lines[0], "the first line says where the numbers lead")
        self.assertEqual(list(ports), [f"COM{n}" for n in range(1, 21)])
        self.assertRegex(ports["COM1"], rf"COM1 +\S+/COM1 -> {re.escape(usable)} +usable$")
        self.assertRegex(ports["COM2"],
                         rf"held by another program \(\S+, process {os.getpid()}\)$")
        self.assertRegex(ports["COM4"], r"no device there: the link leads to \S+/gone-ttyUSB0, "
                                        r"which does not exist$")
        self.assertIn("not a serial device, or no hardware behind it", ports["COM5"])
        self.assertRegex(ports["COM6"], r"not a serial device: \S+/notes.txt is a plain file$")
        for port in range(7, 21):
            self.assertRegex(ports[f"COM{port}"], rf"COM{port} +\S+/COM{port} +no device there$")
        self.assertEqual(lines[-1], "1 of 20 ports usable.")

        missing = os.path.join(self.ports, "not-made")
        result = self.run_as_user("--ports", port_dir=missing)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout.splitlines()[0],
                         f"COMn is the link COMn in {missing} (VELMARO_PORT_DIR), and nothing "
                         "else; that folder does not exist.")

    def test_a_device_the_user_may_not_open_names_the_group_to_join(self):
        if os.geteuid() != 0:
            # An ordinary user owns the terminals they make; taking the owner's rights away is
            # the one way to refuse them one.
            self.pty(3, 0o000)
            result = self.run_as_user("--ports")
            ports, _ = self.report_lines(result)
            self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
            self.assertIn(f"permission denied: user '{self.user}' may not read and write",
                          ports["COM3"])
            return

        # Owned by root and the group of serial devices, as a port of the machine is.
        _, name = self.pty(3, 0o660)
        group = "dialout"
        os.chown(name, 0, grp.getgrnam(group).gr_gid)
        _, rootonly = self.pty(5, 0o660)
        os.chown(rootonly, 0, 0)
        _, joined = self.pty(8, 0o660)
        os.chown(joined, 0, grp.getgrnam(TEST_GROUP).gr_gid)

        result = self.run_as_user("--ports")
        ports, lines = self.report_lines(result)
        print(result.stdout)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertRegex(ports["COM3"],
                         rf"permission denied: {re.escape(name)} belongs to group '{group}'; "
                         rf"add user '{self.user}' to it \(sudo adduser {self.user} {group}\) "
                         r"and log in again$")
        self.assertRegex(ports["COM8"],
                         rf"permission denied: user '{self.user}' is in group '{TEST_GROUP}', "
                         rf"which owns {re.escape(joined)}, but this session began before "
                         r"that; log out and in again$")
        self.assertRegex(ports["COM5"],
                         rf"permission denied: user '{self.user}' may not read and write "
                         rf"{re.escape(rootonly)} \(owner root, group root, mode 0660\)$")
        self.assertEqual(lines[-1], "0 of 20 ports usable.")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
