"""The HTTP server of the update check tests: python3 http_test_server.py PORTFILE FOLDER.

Python's http.server serving FOLDER on 127.0.0.1 (a free port written to
PORTFILE), quietly. Runs until killed.
"""
import functools
import http.server
import os
import sys


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


portfile, folder = sys.argv[1], sys.argv[2]
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=folder))
with open(portfile + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(portfile + ".tmp", portfile)
server.serve_forever()
