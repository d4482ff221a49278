#!/usr/bin/env python3
"""Receives the setup program's crash reports and keeps them in SQLite.

POST /vreport.asp   the setup program's report: an application/x-www-form-
                    urlencoded body with one field, "log", whose value is four
                    lines, each ended by LF CR:
                        INSTALLER ERROR
                        EXCEPTION_ACCESS_VIOLATION      (the exception's name)
                        at 00000ABC                     (its address)
                        Build: 043
                    Every report of at most 4096 bytes is stored (a body that
                    is not such a report is stored as malformed) and answered
                    with exactly the two bytes "OK": the setup program posts
                    again every ten minutes until it reads them. Refused, not
                    stored and not read: a body over 4096 bytes (413), one
                    without Content-Length (411), a content type other than
                    the form's (415), a Content-Length of more than ten
                    digits (400): the setup program never sends these.
GET /reports        HTML summary, newest first, grouped by (exception,
                    address, build) with counts, and the latest malformed
                    bodies. HTTP Basic authentication: any user name, the
                    configured password. Without a configured password the
                    summary is switched off (403); there is no default one.

Standard library only. Run it embedded (python3 vreport.py --help) or behind
any WSGI server with `vreport:application`, configured from the environment:
    VREPORT_DB              SQLite file (required)
    VREPORT_PASSWORD_FILE   file whose first line is the summary password
    VREPORT_PASSWORD        the password itself (when no file is given)
"""
import argparse
import base64
import hmac
import html
import os
import re
import socketserver
import sqlite3
import sys
import threading
import time
import urllib.parse
from wsgiref import simple_server

MAX_BODY = 4096
# A length of at most 4096 needs four digits; a longer text is no honest
# length (and int() refuses texts of more than 4300 digits outright).
MAX_LENGTH_DIGITS = 10
FORM_TYPE = "application/x-www-form-urlencoded"
BUSY_TIMEOUT_S = 30.0
SUMMARY_GROUPS = 1000
SUMMARY_MALFORMED = 50

SCHEMA = """
CREATE TABLE IF NOT EXISTS reports (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    received  TEXT NOT NULL,     -- UTC, ISO 8601
    client    TEXT NOT NULL,     -- the peer's address as the server saw it
    malformed INTEGER NOT NULL,  -- 1: the fields below are NULL
    exception TEXT,
    address   TEXT,              -- eight upper-case hex digits
    build     TEXT,              -- as sent, e.g. "043"
    body      BLOB NOT NULL      -- the request body, byte for byte
);
CREATE INDEX IF NOT EXISTS reports_group ON reports (exception, address, build);
"""

_LINE_END = "\n\r"  # the setup program ends each line with %0A%0D
_NAME = re.compile(r"(EXCEPTION_[A-Z0-9_]{1,60}|<UNKNOWN ERROR>)\Z")
_ADDRESS = re.compile(r"at ([0-9A-F]{8})\Z")
_BUILD = re.compile(r"Build: ([0-9]{3,10})\Z")


def parse_report(body):
    """(exception, address, build) from a report body, or None when the body
    is not a well-formed report."""
    try:
        text = body.decode("ascii")
        fields = urllib.parse.parse_qsl(text, keep_blank_values=True,
                                        strict_parsing=True, errors="strict")
    except (UnicodeDecodeError, ValueError):
        return None
    if len(fields) != 1 or fields[0][0] != "log":
        return None
    lines = fields[0][1].split(_LINE_END)
    if len(lines) != 5 or lines[0] != "INSTALLER ERROR" or lines[4] != "":
        return None
    name = _NAME.match(lines[1])
    address = _ADDRESS.match(lines[2])
    build = _BUILD.match(lines[3])
    if not (name and address and build):
        return None
    return name.group(1), address.group(1), build.group(1)


def connect(path):
    # timeout: how long a writer waits for another one's lock (busy timeout)
    return sqlite3.connect(path, timeout=BUSY_TIMEOUT_S, isolation_level=None)


def open_store(path):
    """Creates the table when missing and puts the file in WAL mode, so that
    readers never block the writers and each report is one short write."""
    connection = connect(path)
    try:
        connection.execute("PRAGMA journal_mode = WAL")
        connection.executescript(SCHEMA)
    finally:
        connection.close()


def store_report(path, client, body):
    report = parse_report(body)
    received = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())
    exception, address, build = report if report else (None, None, None)
    connection = connect(path)
    try:
        connection.execute("BEGIN IMMEDIATE")
        connection.execute(
            "INSERT INTO reports (received, client, malformed, exception, address, build, body)"
            " VALUES (?, ?, ?, ?, ?, ?, ?)",
            (received, client, 0 if report else 1, exception, address, build, body))
        connection.execute("COMMIT")
    finally:
        connection.close()


def _shown(text):
    """Stored text for the page: control and non-ASCII characters as \\xNN,
    then HTML-escaped."""
    if isinstance(text, bytes):
        text = text.decode("latin-1")
    text = "".join(c if " " <= c <= "~" else "\\x%02x" % ord(c) for c in str(text))
    return html.escape(text, quote=True)


def summary_page(path):
    connection = connect(path)
    try:
        connection.execute("PRAGMA query_only = ON")
        groups = connection.execute(
            "SELECT exception, address, build, COUNT(*), MIN(received), MAX(received)"
            " FROM reports WHERE malformed = 0 GROUP BY exception, address, build"
            " ORDER BY MAX(id) DESC LIMIT ?", (SUMMARY_GROUPS,)).fetchall()
        malformed_count, = connection.execute(
            "SELECT COUNT(*) FROM reports WHERE malformed = 1").fetchone()
        malformed = connection.execute(
            "SELECT received, client, body FROM reports WHERE malformed = 1"
            " ORDER BY id DESC LIMIT ?", (SUMMARY_MALFORMED,)).fetchall()
    finally:
        connection.close()
    out = ["<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
           "<title>Crash reports</title></head><body>\n<h1>Crash reports</h1>\n"
           "<table border=\"1\">\n<tr><th>Exception</th><th>Address</th><th>Build</th>"
           "<th>Count</th><th>First</th><th>Latest</th></tr>\n"]
    for row in groups:
        out.append("<tr>" + "".join("<td>%s</td>" % _shown(v) for v in row) + "</tr>\n")
    out.append("</table>\n<h2>Malformed reports: %d</h2>\n<table border=\"1\">\n"
               "<tr><th>Received</th><th>Client</th><th>Body</th></tr>\n" % malformed_count)
    for row in malformed:
        out.append("<tr>" + "".join("<td>%s</td>" % _shown(v) for v in row) + "</tr>\n")
    out.append("</table>\n</body></html>\n")
    return "".join(out).encode("utf-8")


def _password_matches(environ, password):
    given = environ.get("HTTP_AUTHORIZATION", "")
    scheme, _, encoded = given.partition(" ")
    if scheme.lower() != "basic":
        return False
    try:
        _, _, offered = base64.b64decode(encoded.strip(), validate=True).partition(b":")
    except ValueError:
        return False
    return hmac.compare_digest(offered, password.encode("utf-8"))


def make_app(db_path, password):
    """The WSGI application. password: the summary's password; None or empty
    switches the summary off."""
    open_store(db_path)

    def app(environ, start_response):
        def answer(status, body, content_type="text/plain", extra=()):
            start_response(status, [("Content-Type", content_type),
                                    ("Content-Length", str(len(body)))] + list(extra))
            return [body]

        path = environ.get("PATH_INFO", "")
        method = environ.get("REQUEST_METHOD", "")
        if path == "/vreport.asp":
            if method != "POST":
                return answer("405 Method Not Allowed", b"POST only", extra=[("Allow", "POST")])
            media_type = environ.get("CONTENT_TYPE", "").split(";")[0].strip().lower()
            if media_type != FORM_TYPE:
                return answer("415 Unsupported Media Type", b"form data only")
            length = environ.get("CONTENT_LENGTH", "").strip()
            # ASCII digits only: str.isdigit() also takes "²", which int() refuses.
            if not (length.isascii() and length.isdigit()):
                return answer("411 Length Required", b"Content-Length required")
            if len(length) > MAX_LENGTH_DIGITS:
                return answer("400 Bad Request", b"Content-Length too long")
            if int(length) > MAX_BODY:
                return answer("413 Payload Too Large", b"report too large")
            try:
                body = environ["wsgi.input"].read(int(length))
            except OSError:  # the client stopped sending (timeout) or went away
                body = b""
            if len(body) != int(length):
                return answer("400 Bad Request", b"incomplete body")
            try:
                store_report(db_path, environ.get("REMOTE_ADDR", ""), body)
            except sqlite3.Error as error:
                # Not kept, so not acknowledged: the setup program tries again.
                print("vreport: report not stored: %s" % error, file=environ["wsgi.errors"])
                return answer("503 Service Unavailable", b"not stored")
            return answer("200 OK", b"OK")
        if path == "/reports":
            if method != "GET":
                return answer("405 Method Not Allowed", b"GET only", extra=[("Allow", "GET")])
            if not password:
                return answer("403 Forbidden", b"no summary password configured")
            if not _password_matches(environ, password):
                return answer("401 Unauthorized", b"password required",
                              extra=[("WWW-Authenticate", 'Basic realm="crash reports"')])
            return answer("200 OK", summary_page(db_path), "text/html; charset=utf-8",
                          extra=[("Cache-Control", "no-store")])
        return answer("404 Not Found", b"not found")

    return app


def read_password(password_file=None, password=None):
    """The summary password from a file's first line, else the given text."""
    if password_file:
        with open(password_file, encoding="utf-8") as f:
            password = f.readline()
    password = (password or "").strip()
    return password or None


_application = None
_application_lock = threading.Lock()


def application(environ, start_response):
    """Entry point for a WSGI server, configured from the environment."""
    global _application
    with _application_lock:
        if _application is None:
            db_path = os.environ.get("VREPORT_DB")
            if not db_path:
                raise RuntimeError("VREPORT_DB is not set")
            _application = make_app(db_path, read_password(
                os.environ.get("VREPORT_PASSWORD_FILE"), os.environ.get("VREPORT_PASSWORD")))
    return _application(environ, start_response)


class _Handler(simple_server.WSGIRequestHandler):
    timeout = 10.0  # a client that stops sending loses its thread after this
    quiet = False

    def log_message(self, format, *args):
        if not self.quiet:
            super().log_message(format, *args)


class ThreadingWSGIServer(socketserver.ThreadingMixIn, simple_server.WSGIServer):
    daemon_threads = True
    request_queue_size = 128


def make_server(host, port, app, quiet=False, timeout=10.0):
    handler = type("Handler", (_Handler,), {"quiet": quiet, "timeout": timeout})
    return simple_server.make_server(host, port, app, ThreadingWSGIServer, handler)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Crash report server (embedded).")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--db", default=os.environ.get("VREPORT_DB"),
                        help="SQLite file (default: $VREPORT_DB)")
    parser.add_argument("--password-file", default=os.environ.get("VREPORT_PASSWORD_FILE"),
                        help="first line: the password of /reports "
                             "(default: $VREPORT_PASSWORD_FILE, else $VREPORT_PASSWORD)")
    args = parser.parse_args(argv)
    if not args.db:
        parser.error("no SQLite file: give --db or set VREPORT_DB")
    password = read_password(args.password_file, os.environ.get("VREPORT_PASSWORD"))
    server = make_server(args.host, args.port, make_app(args.db, password))
    print("Receiving crash reports at http://%s:%d/vreport.asp into %s" %
          (args.host, args.port, args.db), file=sys.stderr)
    print("Summary: http://%s:%d/reports %s" %
          (args.host, args.port, "(any user name; password in %s)" % args.password_file
           if args.password_file and password else
           "(password from VREPORT_PASSWORD)" if password else "switched off: no password"),
          file=sys.stderr)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
