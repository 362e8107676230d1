"""The update check: the splash stays painted while the server waits, then the port list opens;
a newer version on a real FTP server starts the updater and the program ends, unverified without
a key, and with one signed by tools/velmaro-sign (what a key refuses is the update server test's)."""

import os
import socket
import subprocess
import sys
import unittest

from desktop import Desktop, main, wait_until

PROGRAM, SIMULATOR, ARTEFACTS = sys.argv[1:4]
SIGN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "velmaro-sign")

# The build's key (empty: none) and host, and the key's private half if the test command made it.
BUILT_KEY = os.environ.get("VELMARO_BUILT_UPDATE_KEY", "")
BUILT_HOST = os.environ.get("VELMARO_BUILT_UPDATE_HOST", "")
SIGNING_KEY = os.environ.get("VELMARO_TEST_SIGNING_KEY", "")
KEYED = unittest.skipUnless(BUILT_KEY and SIGNING_KEY, "this build holds no update key")
UNKEYED = unittest.skipIf(BUILT_KEY, "this build holds an update key")

# Leaves the folder it ran in as its mark.
TEST_UPDATER = "#!/bin/sh\npwd > updater-ran\n"


class UpdateCheck(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(ARTEFACTS)
        self.addCleanup(self.desktop.close)
        self.folder = self.desktop.folder("cwd")

    def test_the_splash_stays_painted_while_the_server_answers_late_then_the_port_list_opens(self):
        # A server that takes the connection and does not greet: the check waits on it.
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(1)
        program = self.desktop.start_program(
            PROGRAM, update_host="127.0.0.1:%d" % silent.getsockname()[1], cwd=self.folder)
        connection, _ = silent.accept()

        splash = self.desktop.window("RIZA Vevezov")
        self.assertEqual(self.desktop.geometry(splash)[2:], (213, 138))
        self.desktop.screenshot(splash, "splash.png")
        x, y = self.desktop.geometry(splash)[:2]
        self.assertEqual(self.desktop.pixels((x + 100, y + 20, 1, 1)), [(0, 192, 192)])
        self.assertEqual(self.desktop.pixels((x + 3, y + 80, 1, 1)), [(255, 255, 192)])

        connection.close()
        silent.close()
        self.desktop.window("T7342 Galil V1.0")
        self.assertIsNone(program.poll())
        self.assertEqual(os.listdir(self.folder), [])

    def serve_update(self):
        """A server folder offering 1.2.1 with its updater; gives the folder."""
        served = self.desktop.folder("ftp")
        for name, text in (("VerVelmaro.txt", "1.2.1\r\n"), ("UpdateVelmaro.exe", TEST_UPDATER),
                           ("SetupUpdate.ini", "[Setup]\r\n")):
            with open(os.path.join(served, name), "w", encoding="ascii") as out:
                out.write(text)
        return served

    def assert_the_updater_ran(self):
        mark = os.path.join(self.folder, "updater-ran")
        wait_until(lambda: os.path.exists(mark) and os.path.getsize(mark) > 0,
                   what="the updater's mark")
        with open(mark, encoding="utf-8") as ran:
            self.assertEqual(ran.read().strip(), os.path.realpath(self.folder))

    @UNKEYED
    def test_a_newer_version_starts_the_updater_unverified_and_the_program_ends(self):
        server = self.desktop.start_ftp_server(self.serve_update())
        program = self.desktop.start_program(PROGRAM, update_host=server, cwd=self.folder)

        self.assertEqual(program.wait(timeout=30), 0)
        self.assertIn("Update check: the updater UpdateVelmaro.exe is not verified",
                      self.desktop.output(program))
        self.assert_the_updater_ran()
        self.assertEqual(sorted(os.listdir(self.folder)),
                         ["SetupUpdate.ini", "UpdateVelmaro.exe", "updater-ran"])

    @KEYED
    def test_with_a_key_a_signed_updater_from_the_built_in_server_starts_and_the_program_ends(self):
        # The test command configures the build with a loopback host and port of its own.
        host, _, port = BUILT_HOST.partition(":")
        self.assertEqual(host, "127.0.0.1", "the keyed test build names a loopback update host")
        served = self.serve_update()  # its updater signed as the maker signs
        subprocess.run([SIGN, "sign", SIGNING_KEY, os.path.join(served, "UpdateVelmaro.exe")],
                       check=True, stdout=subprocess.DEVNULL)
        self.desktop.start_ftp_server(served, port=int(port))
        program = self.desktop.start_program(PROGRAM, update_host=self.desktop.BUILT_IN,
                                             cwd=self.folder)

        self.assertEqual(program.wait(timeout=60), 0)
        self.assert_the_updater_ran()
        self.assertNotIn("not verified", self.desktop.output(program))


if __name__ == "__main__":
    main()
