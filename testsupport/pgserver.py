"""A PostgreSQL server of its own, as pgserver.h starts one for the C++ tests; close() ends it."""

import os
import shutil
import socket
import subprocess
import tempfile

BIN = "/usr/lib/postgresql/15/bin"
SYSTEM_USER = "velmaro-test"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class PgServer:
    """`superuser` owns the cluster; `database`, when given, is made at the first start."""

    def __init__(self, superuser="velmaro", database="plant"):
        self.folder = tempfile.mkdtemp(prefix="velmaro-pg-")
        self.port = free_port()
        self.superuser = superuser
        self.database = database
        self.created = database is None
        if os.geteuid() == 0:
            subprocess.run(["useradd", "--system", "--no-create-home", "--shell",
                            "/usr/sbin/nologin", SYSTEM_USER], capture_output=True)
            subprocess.run(["chown", "-R", SYSTEM_USER, self.folder], check=True)
            os.chmod(self.folder, 0o755)
        self.run("initdb", "-D", self.data, "-A", "trust", "-U", superuser, "-E", "UTF8",
                  "--no-sync")

    @property
    def data(self):
        return os.path.join(self.folder, "data")

    def connection(self):
        return f"host=127.0.0.1 port={self.port} dbname=plant user=velmaro connect_timeout=2"

    def start(self):
        self.run("pg_ctl", "-D", self.data, "-l", os.path.join(self.folder, "server.log"), "-w",
                  "-o", f"-p {self.port} -k {self.folder} -c listen_addresses=127.0.0.1 "
                  "-c fsync=off", "start")
        if not self.created:
            self.run("createdb", "-h", "127.0.0.1", "-p", str(self.port), "-U", self.superuser,
                     self.database)
            self.created = True

    def psql(self, sql):
        """Rows of the query's answer, each a list of its fields as text."""
        result = self.run("psql", "-h", "127.0.0.1", "-p", str(self.port), "-U", "velmaro",
                           "-d", "plant", "-tAc", sql, check=False)
        return [line.split("|") for line in result.stdout.splitlines() if line]

    def close(self):
        self.run("pg_ctl", "-D", self.data, "-m", "immediate", "-w", "stop", check=False)
        shutil.rmtree(self.folder, ignore_errors=True)

    def run(self, tool, *arguments, check=True):
        command = [os.path.join(BIN, tool), *arguments]
        if os.geteuid() == 0:
            command = ["runuser", "-u", SYSTEM_USER, "--", *command]
        result = subprocess.run(command, cwd=self.folder, capture_output=True, text=True,
                                timeout=120)
        if check and result.returncode != 0:
            raise RuntimeError(f"{tool} failed: {result.stdout}{result.stderr}")
        return result
