"""An FTP server on loopback for the update tests: one account, one folder; prints "port N", logs
to stderr. A fetch of a file named with --broken breaks off, as a transfer cut short does."""

import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--broken", action="append", default=[])
    options = parser.parse_args()

    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG, format="%(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user(options.user, options.password, options.dir, perm="elr")
    class Handler(FTPHandler):
        def ftp_RETR(self, file):
            if os.path.basename(file) in options.broken:
                return self.respond("426 Connection closed; transfer aborted.")
            return super().ftp_RETR(file)

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", options.port), Handler)
    print(f"port {server.address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
