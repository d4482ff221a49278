#!/usr/bin/env python3
"""The crash report server on a free loopback port, embedded and under
gunicorn: what it keeps, what it refuses, what it only counts, what the
summary shows (also as Chromium renders it), and many uploads at once."""
import base64
import concurrent.futures
import html
import http.client
import io
import json
import os
import re
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import unittest.mock
import wsgiref.util

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "..", "..", "..", "server")
sys.path.insert(0, SERVER)
sys.path.insert(0, HERE)
import screenshot  # noqa: E402
import vreport  # noqa: E402

# Debian's gunicorn runs under Debian's Python, whichever python3 runs this.
GUNICORN = ["/usr/bin/python3", "-m", "gunicorn"]

PASSWORD = "summary-test-password"
FORM = "application/x-www-form-urlencoded"


def report(name="EXCEPTION_ACCESS_VIOLATION", address="00000ABC", build="043"):
    """A body as the setup program sends it (blanks already turned into +)."""
    return ("log=INSTALLER+ERROR%0A%0D" + name + "%0A%0Dat+" + address + "%0A%0DBuild:+" +
            build + "%0A%0D").replace(" ", "+").encode("ascii")


def day(n, hour=12):
    """Unix time of n days after SummaryTest's today, at the hour given."""
    return screenshot.NOW + n * 86400 + (hour - 16) * 3600


class ServerTest(unittest.TestCase):
    password = PASSWORD
    settings = {}       # make_app's limits
    server_settings = {"timeout": 1.0}  # make_server's (timeout: the request's deadline)
    gunicorn = False    # run under gunicorn instead of the embedded server
    start = None        # the server's time, when not the real one
    symbols = None      # {file name: text}: symbol files in a folder the server reads

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vreport-test-")
        self.addCleanup(shutil.rmtree, self.folder)
        self.db = os.path.join(self.folder, "reports.sqlite3")
        self.now = self.start
        if self.gunicorn:
            if self.start_gunicorn().poll() is not None:
                self.fail("gunicorn did not start: %s" % self.gunicorn_log)
            return
        clock = lambda: self.now if self.now is not None else time.time()  # noqa: E731
        self.symbol_dir = os.path.join(self.folder, "symbols")
        os.mkdir(self.symbol_dir)
        for name, text in (self.symbols or {}).items():
            self.add_symbols(name, text)
        self.server = vreport.make_server(
            "127.0.0.1", 0, vreport.make_app(
                self.db, self.password, clock=clock, **self.settings,
                symbol_folder=self.symbol_dir if self.symbols is not None else None),
            quiet=True, **self.server_settings)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.addCleanup(self.thread.join, 10)
        self.addCleanup(self.server.server_close)
        self.addCleanup(self.server.shutdown)

    def start_gunicorn(self, bind="127.0.0.1:0", environment=None):
        """Debian's gunicorn on a free port as README sets it up (worker
        processes of threads), configured from the environment as in
        production. Returns the process, running."""
        environment = dict(os.environ, VREPORT_DB=self.db, VREPORT_PASSWORD=self.password,
                           **(environment or {}))
        for key, value in self.settings.items():
            environment["VREPORT_" + key.upper()] = \
                ",".join(value) if key == "trusted_proxies" else str(value)
        log_path = os.path.join(self.folder, "gunicorn-%s.log" % time.monotonic_ns())
        self.log_path = log_path
        with open(log_path, "wb") as log:
            process = subprocess.Popen(
                GUNICORN + ["--chdir", SERVER, "--worker-class", "gthread", "--workers", "2",
                            "--threads", "600", "--bind", bind, "--timeout", "60",
                            "vreport:application"],
                env=environment, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.addCleanup(process.wait, 60)
        self.addCleanup(process.terminate)
        deadline = time.monotonic() + 60
        while True:
            with open(log_path, "rb") as log:
                self.gunicorn_log = log.read().decode(errors="replace")
            listening = re.search(r"Listening at: http://127\.0\.0\.1:(\d+)", self.gunicorn_log)
            if "Booting worker" in self.gunicorn_log:
                self.port = int(listening.group(1)) if listening else None
                return process
            if process.poll() is not None or time.monotonic() > deadline:
                return process
            time.sleep(0.05)

    def add_symbols(self, name, text):
        with open(os.path.join(self.symbol_dir, name), "w", encoding="ascii") as f:
            f.write(text)

    def request(self, method, path, body=None, headers=None, source=None):
        """(status, headers, body) of one request, from the source address
        given (one of the loopback's 127.0.0.0/8)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30,
                                                source_address=(source, 0) if source else None)
        try:
            connection.request(method, path, body, headers or {})
            response = connection.getresponse()
            return response.status, response.headers, response.read()
        finally:
            connection.close()

    def post(self, body, content_type=FORM, source=None, headers=None):
        headers = dict(headers or {}, **({"Content-Type": content_type} if content_type else {}))
        status, _, answer = self.request("POST", "/vreport.asp", body, headers, source)
        return status, answer

    def raw(self, data, wait=5.0):
        """Sends bytes as they are and returns the first answer bytes, leaving
        the connection open meanwhile (the server must not wait for its end)."""
        answer = b""
        with socket.create_connection(("127.0.0.1", self.port), timeout=wait) as s:
            s.sendall(data)
            try:
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    answer += chunk
            except ConnectionResetError:  # closed with our unread bytes
                pass
        return answer

    def refuses_lengths_of_thousands_of_digits(self):
        head = b"POST /vreport.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + FORM.encode()
        for length in [b"0" * 5000 + b"5", b"9" * 5000]:
            answer = self.raw(head + b"\r\nContent-Length: " + length + b"\r\n\r\nlog=A")
            self.assertRegex(answer, rb"\AHTTP/1\.[01] 4\d\d ", length[-8:])

    def rows(self, columns="malformed, exception, address, build, body"):
        with sqlite3.connect(self.db) as connection:
            return connection.execute("SELECT %s FROM reports ORDER BY id" % columns).fetchall()

    def summary(self, user="anyone", password=PASSWORD, path="/reports"):
        token = base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
        return self.request("GET", path, headers={"Authorization": "Basic " + token})

    def figures(self, query=""):
        status, headers, page = self.summary(path="/reports.json" + query)
        self.assertEqual((200, "application/json"), (status, headers["Content-Type"]), page)
        return json.loads(page)


class UploadTest(ServerTest):
    def test_a_report_is_stored_and_answered_with_exactly_ok(self):
        body = (b"log=INSTALLER+ERROR%0A%0DEXCEPTION_ACCESS_VIOLATION%0A%0Dat+00000ABC%0A%0D"
                b"Build:+043%0A%0D")
        status, headers, answer = self.request("POST", "/vreport.asp", body,
                                               {"Content-Type": FORM})
        self.assertEqual((200, b"OK"), (status, answer))
        self.assertEqual("2", headers["Content-Length"])
        self.assertEqual([("127.0.0.1", 0, "EXCEPTION_ACCESS_VIOLATION", "00000ABC", "043", body)],
                         self.rows("client, malformed, exception, address, build, body"))

    def test_bodies_that_are_no_report_are_kept_as_malformed_and_acknowledged(self):
        good = report()
        bodies = [
            b"", b"log=", b"x=1", b"log", b"&&&", b"%ZZ", b"log=%FF%FE", b"\xff\xfe\x00log",
            good + b"&log=again", b"extra=1&" + good,
            good.replace(b"%0A%0D", b"%0D%0A"),                 # CR LF instead of LF CR
            good[:-len(b"%0A%0D")],                             # last line end missing
            good + b"more%0A%0D",                               # a fifth line
            report(address="00000abc"), report(address="ABC"), report(build="43"),
            report(build="0430"), report(build="4294967295"),      # no build it writes
            report(name="EXCEPTION_ACCESS_VIOLATION+"), report(name=""),
            report(name="<script>alert(1)</script>"),
            report(name="%3Cscript%3Ealert(1)%3C/script%3E"),
            # A stray LF before a line's end: no pattern may take it for the end.
            report(name="EXCEPTION_ACCESS_VIOLATION%0A"), report(address="00000ABC%0A"),
            report(build="043%0A"),
            b"log=" + b"A" * 4092,                              # exactly the limit
        ]
        for body in bodies:
            self.assertEqual((200, b"OK"), self.post(body), body)
        self.assertEqual([(1, None, None, None, body) for body in bodies], self.rows())

    def test_what_the_setup_program_never_sends_is_refused_and_not_stored(self):
        for content_type in ["text/plain", "multipart/form-data; boundary=x",
                             "application/x-www-form-urlencoded-x", None]:
            self.assertEqual(415, self.post(report(), content_type)[0], content_type)
        self.assertEqual(200, self.post(report(), FORM + "; charset=ISO-8859-1")[0])
        self.assertEqual(405, self.request("GET", "/vreport.asp")[0])
        self.assertEqual(404, self.request("POST", "/other.asp", report(),
                                           {"Content-Type": FORM})[0])
        self.assertEqual(413, self.post(b"log=" + b"A" * 4093)[0])

        head = b"POST /vreport.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + FORM.encode()
        # A length that claims too much, or none, is answered at once, with
        # the body still coming: nothing of it is read.
        answer = self.raw(head + b"\r\nContent-Length: 100000000\r\n\r\n" + b"A" * 60000)
        self.assertTrue(answer.startswith(b"HTTP/1.0 413"), answer)
        for length in [b"", b"\r\nContent-Length: 1\xb2", b"\r\nContent-Length: -5"]:
            answer = self.raw(head + length + b"\r\n\r\n" + b"log=" + b"A" * 60000)
            self.assertTrue(answer.startswith(b"HTTP/1.0 411"), (length, answer))
        self.refuses_lengths_of_thousands_of_digits()
        answer = self.raw(head + b"\r\nX-Pad: " + b"P" * 9000 + b"\r\n\r\n")
        self.assertTrue(answer.startswith(b"HTTP/1.0 431"), answer)
        # A long request line is logged cut short.
        self.server.RequestHandlerClass.quiet = False
        with unittest.mock.patch("sys.stderr", io.StringIO()) as log:
            self.assertEqual(404, self.request("GET", "/" + "x" * 7000)[0])
            for _ in range(100):  # logged once the answer is out
                if log.getvalue():
                    break
                time.sleep(0.05)
        self.server.RequestHandlerClass.quiet = True
        self.assertRegex(log.getvalue(), r"\A[^\n]{20,400}\n\Z")
        # A length that claims too little: only that much is the report.
        answer = self.raw(head + b"\r\nContent-Length: 10\r\n\r\n" + b"log=" + b"A" * 9000)
        self.assertTrue(answer.endswith(b"\r\n\r\nOK"), answer)
        # A client that stops sending holds up no one and leaves nothing.
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as stalled:
            stalled.sendall(head + b"\r\nContent-Length: 90\r\n\r\nlog=INSTALLER")
            self.assertEqual((200, b"OK"), self.post(report(build="044")))
            stalled.settimeout(5)
            stalled.recv(65536)  # answered (or closed) once its time is up
        self.assertEqual([(0, "043"), (1, None), (0, "044")], self.rows("malformed, build"))
        self.assertEqual(b"log=AAAAAA", self.rows("body")[1][0])

    def test_a_report_that_cannot_be_stored_is_not_acknowledged(self):
        # A full disk: SQLite's own page cap fails the write the same way.
        connect = vreport.connect

        def full(path):
            connection = connect(path)
            pages, = connection.execute("PRAGMA page_count").fetchone()
            connection.execute("PRAGMA max_page_count = %d" % pages)
            return connection

        self.assertEqual((200, b"OK"), self.post(b"log=" + b"E" * 4000))
        with unittest.mock.patch("vreport.connect", full), \
                unittest.mock.patch("sys.stderr", io.StringIO()) as errors:
            self.assertEqual((503, b"not stored"), self.post(b"log=" + b"F" * 4000))
        self.assertIn("report not stored: the disk is full", errors.getvalue())
        self.assertEqual([b"log=" + b"E" * 4000], [row[-1] for row in self.rows()])
        os.remove(self.db)
        os.mkdir(self.db)  # no database can be opened there
        with unittest.mock.patch("sys.stderr", io.StringIO()) as errors:
            self.assertEqual((503, b"not stored"), self.post(report()))
        self.assertIn("not stored", errors.getvalue())


class SummaryTest(ServerTest):
    start = day(0)

    def test_only_the_password_opens_the_summary(self):
        for path in ["/reports", "/reports.json"]:
            status, headers, _ = self.request("GET", path)
            self.assertEqual(401, status)
            self.assertIn("Basic", headers["WWW-Authenticate"])
            for password in ["wrong", PASSWORD + "x", PASSWORD[:-1], ""]:
                self.assertEqual(401, self.summary(password=password, path=path)[0], password)
            for value in ["Bearer " + PASSWORD, "Basic " + PASSWORD, "Basic !!", PASSWORD]:
                self.assertEqual(401, self.request("GET", path,
                                                   headers={"Authorization": value})[0], value)
            self.assertEqual((200, 200), (self.summary(path=path)[0],
                                          self.summary(user="", path=path)[0]))
            self.assertEqual(405, self.request("POST", path, b"")[0])
        for query in ["?days=0", "?days=3661", "?days=x", "?days=%FF", "?build=4x", "?build=12",
                      "?build=0430", "?build=%EF%BC%90%EF%BC%94%EF%BC%93"]:
            self.assertEqual(400, self.summary(path="/reports" + query)[0], query)
        status, headers, _ = self.summary()
        self.assertIn("frame-ancestors 'none'", headers["Content-Security-Policy"])
        self.assertNotIn("script-src", headers["Content-Security-Policy"])
        self.assertEqual(("nosniff", "vreport"), (headers["X-Content-Type-Options"],
                                                  headers["Server"]))
        # Wrong passwords: the client that gives them has to wait, the
        # operator elsewhere does not.
        def attempt(password, source):
            token = base64.b64encode(b"x:" + password.encode()).decode()
            return self.request("GET", "/reports", headers={"Authorization": "Basic " + token},
                                source=source)

        for _ in range(vreport.DEFAULT_PASSWORD_TRIES):
            self.assertEqual(401, attempt("guess", "127.0.0.2")[0])
        status, headers, _ = attempt(PASSWORD, "127.0.0.2")
        self.assertEqual(429, status)
        self.assertTrue(1 <= int(headers["Retry-After"]) <= 3600, headers["Retry-After"])
        self.assertEqual(200, attempt(PASSWORD, "127.0.0.1")[0])
        self.now += 3601
        self.assertEqual(200, attempt(PASSWORD, "127.0.0.2")[0])

    def test_groups_by_their_count_in_the_period_by_build_and_everything_escaped(self):
        unknown = report(name="<UNKNOWN ERROR>", address="DEADBEEF", build="044")
        for when, body in [(-40, report(address="000000AA"))] * 5 + [
                (-10, report()), (-2, report()), (-2, report(address="00000ABD")), (-1, unknown),
                (0, b"log=<b>bold</b>&x=\"'\r\n"), (0, report()), (0, unknown),
                (0, report())]:  # the same body again from the same client: counted
            self.now = day(when, hour=10 if when else 15)
            self.assertEqual((200, b"OK"), self.post(body))
        self.assertEqual(8, len(self.rows()))

        status, headers, page = self.summary()
        self.assertEqual(200, status)
        self.assertTrue(headers["Content-Type"].startswith("text/html"))
        page = page.decode("utf-8")
        groups = re.findall(r"<tr><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td>"
                            r"<td>(\d+)</td><td[^>]*>([^<]*)</td>", page)
        self.assertEqual([("EXCEPTION_ACCESS_VIOLATION", "00000ABC", "043", "4", "57.1%"),
                          ("&lt;UNKNOWN ERROR&gt;", "DEADBEEF", "044", "2", "28.6%"),
                          ("EXCEPTION_ACCESS_VIOLATION", "00000ABD", "043", "1", "14.3%")], groups)
        self.assertIn("<svg class=\"chart\"", page)
        self.assertIn("Malformed reports: 1", page)
        self.assertIn("log=&lt;b&gt;bold&lt;/b&gt;&amp;x=&quot;&#x27;\\x0d\\x0a", page)
        self.assertNotIn("<b>", page)
        self.assertNotIn("<UNKNOWN", page)

        figures = self.figures()
        # Per-day counts for the days that have reports, within the period.
        self.assertEqual(({"days": 30, "first": "2026-11-01", "last": "2026-11-30"},
                          ["2026-11-20", "2026-11-28", "2026-11-29", "2026-11-30"], 7),
                         (figures["period"], figures["days"], figures["reports"]))
        top = figures["groups"][0]
        self.assertEqual({"exception": "EXCEPTION_ACCESS_VIOLATION", "address": "00000ABC",
                          "build": "043", "reports": 4, "share": 4 / 7,
                          "first": "2026-11-20T10:00:00Z", "last": "2026-11-30T15:00:00Z",
                          "daily": [1, 1, 0, 2], "function": None, "offset": None}, top)
        self.assertEqual([1, 2, 1, 3], figures["daily"])
        self.assertEqual([("044", 2, 1, [0, 0, 1, 1]), ("043", 5, 2, [1, 2, 0, 2])],
                         [(b["build"], b["reports"], b["groups"], b["daily"])
                          for b in figures["builds"]])
        # A longer period, up to the longest, takes in the old group; one
        # build is one build's.
        self.assertEqual([("000000AA", 5), ("00000ABC", 4)],
                         [(g["address"], g["reports"]) for g in self.figures("?days=3660")
                          ["groups"][:2]])
        one = self.figures("?build=044")
        self.assertEqual((["DEADBEEF"], ["044"], 2),
                         ([g["address"] for g in one["groups"]],
                          [b["build"] for b in one["builds"]], one["reports"]))

    def test_the_summary_is_bounded_and_shows_real_builds_only(self):
        # More groups and builds than a summary shows, and builds an earlier
        # version stored although the setup program never writes them.
        rows = [("2026-11-%02d" % (1 + n % 30), "EXCEPTION_ACCESS_VIOLATION", "%08X" % n,
                 "%03d" % (n % 30), 1 + n % 7) for n in range(300)]
        rows += [("2026-11-29", "EXCEPTION_ACCESS_VIOLATION", "00000ABC", forged, 1000)
                 for forged in ["0430", "4294967295", "12"]]
        with sqlite3.connect(self.db) as connection:
            connection.executemany(
                "INSERT INTO daily (day, exception, address, build, reports, first, last)"
                " VALUES (?, ?, ?, ?, ?, ?1 || 'T10:00:00Z', ?1 || 'T10:00:00Z')", rows)
        real = sum(n for _, _, _, build, n in rows if len(build) == 3)
        # A forged build today is kept aside with the malformed bodies, and a
        # report from a clock three days ahead waits for its day.
        self.assertEqual((200, b"OK"), self.post(report(build="9999999999"), source="127.0.0.5"))
        self.now = day(3)
        self.assertEqual((200, b"OK"), self.post(report(address="FFFFFFFF"), source="127.0.0.6"))
        self.now = day(0)
        figures = self.figures()
        shown = figures["groups"]
        self.assertEqual((vreport.SUMMARY_GROUPS, 300, real), (len(shown), figures["group_count"],
                                                              figures["reports"]))
        self.assertEqual((300 - len(shown), real - sum(g["reports"] for g in shown)),
                         (figures["other_groups"]["groups"], figures["other_groups"]["reports"]))
        builds = [b["build"] for b in figures["builds"]]
        self.assertEqual(["%03d" % n for n in range(29, 29 - vreport.SUMMARY_BUILDS, -1)], builds)
        self.assertEqual(real, sum(b["reports"] for b in figures["builds"]) +
                         figures["other_builds"]["reports"])
        self.assertEqual(sorted({d for d, _, _, b, _ in rows if len(b) == 3}), figures["days"])
        self.assertEqual(figures["daily"], [sum(c) for c in zip(
            *[b["daily"] for b in figures["builds"]] + [figures["other_builds"]["daily"]])])
        self.assertEqual({"reports": 3000, "builds": 3}, figures["kept_aside"])
        self.assertEqual(1, figures["malformed_kept"])
        self.assertNotIn("FFFFFFFF", json.dumps(figures))
        page = self.summary()[2].decode()
        chart = page.split("<h2>Signatures", 1)[0]
        legend = re.findall(r"<text [^>]*>build ([^<]*)</text>", chart)
        self.assertEqual(builds[:7] + ["older"], legend)
        for forged in ["0430", "4294967295", "9999999999"]:
            self.assertNotIn("build " + forged, chart)
            self.assertNotIn(">%s<" % forged, page.split("<h2>Malformed", 1)[0])
        self.assertEqual(vreport.SUMMARY_GROUPS + 1,
                         page.split("<h2>Builds", 1)[0].count("<tr><td"))
        # The future day's report appears when its day has come.
        self.now = day(3)
        self.assertIn("FFFFFFFF", [g["address"] for g in self.figures("?days=7")["groups"]])

    def test_a_view_that_fails_fails_alone(self):
        # Out of memory in a view, and where the first version ran out of
        # it for good: as a request's thread starts.
        start = threading.Thread._set_tstate_lock

        def once(thread):
            threading.Thread._set_tstate_lock = start
            raise MemoryError

        with unittest.mock.patch("vreport.Store.summary", side_effect=MemoryError), \
                unittest.mock.patch("sys.stderr", io.StringIO()) as log:
            self.assertEqual(500, self.summary(path="/reports.json?days=3660")[0])
            threading.Thread._set_tstate_lock = once
            try:
                self.assertEqual((200, b"OK"), self.post(report()))
            finally:
                threading.Thread._set_tstate_lock = start
        self.assertIn("/reports.json failed: out of memory", log.getvalue())
        self.assertEqual(200, self.summary()[0])

    def test_chromium_shows_the_chart_and_the_top_signature_first(self):
        screenshot.seed(self.db)
        screenshot.seed_symbols(self.symbol_dir)
        # What an outsider could have put there: builds an earlier version
        # stored, bodies and a client meant as markup.
        hostile = "<script>document.title='x'</script><img src=x onerror=alert(1)>"
        with sqlite3.connect(self.db) as connection:
            connection.executemany(
                "INSERT INTO daily (day, exception, address, build, reports, first, last)"
                " VALUES ('2026-11-29', 'EXCEPTION_ACCESS_VIOLATION', '00000ABC', ?, 500,"
                " '2026-11-29T10:00:00Z', '2026-11-29T10:00:00Z')",
                [("%010d" % n,) for n in range(8)])
            connection.execute(
                "INSERT INTO reports (received, client, malformed, body) VALUES"
                " ('2026-11-30T10:00:00Z', ?, 1, ?)", (hostile, hostile.encode()))
        with sqlite3.connect(self.db) as connection:
            # Every access violation of the seed is in install_entry, at
            # another address in some builds: more than any one group.
            crashes, = connection.execute(
                "SELECT COUNT(*) FROM reports WHERE malformed = 0 AND received >= '2026-11-01'"
                " AND exception = 'EXCEPTION_ACCESS_VIOLATION'").fetchone()
            largest, = connection.execute(
                "SELECT COUNT(*) FROM reports WHERE malformed = 0 AND received >= '2026-11-01'"
                " GROUP BY exception, address, build ORDER BY 1 DESC").fetchone()
        self.assertGreater(crashes, largest)
        page = screenshot.chromium(self.db, "/reports", ["--dump-dom"],
                                   symbol_folder=self.symbol_dir)
        self.assertIn("<title>Crash reports</title>", page)
        chart = re.search(r"<h2>Reports per day</h2>\s*<svg class=\"chart\".*?</svg>", page, re.S)
        self.assertIsNotNone(chart, page)
        bars = re.findall(r'<rect [^>]*height="([0-9.]+)"[^>]*><title>', chart.group(0))
        self.assertGreater(len([h for h in bars if float(h) > 0]), 30)
        table = page.split("Signatures by reports", 1)[1].split("<h2>", 1)[0]
        rows = re.findall(r"<tr><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td><td>(\d+)</td>",
                          table)
        self.assertEqual(("EXCEPTION_ACCESS_VIOLATION", "install_entry", "044, 043, 042",
                          str(crashes)), rows[0])
        self.assertIn('<tr class="at"><td></td><td>install_entry+0x47 at 0040A2B7</td>'
                      '<td>043</td>', table)
        # Six signatures in the last 30 days: an address of a build without
        # symbol file (045) and one outside the code stay as they came.
        self.assertEqual(6, len(rows))
        self.assertIn(("EXCEPTION_IN_PAGE_ERROR", "00403A5C", "045"), [r[:3] for r in rows])
        self.assertIn(("&lt;UNKNOWN ERROR&gt;", "7C812AFB", "042"), [r[:3] for r in rows])
        legend = re.findall(r"<text [^>]*>build ([^<]*)</text>", chart.group(0))
        self.assertEqual(["045", "044", "043", "042"], legend)
        self.assertNotIn("<script", page)
        self.assertNotIn("<img", page)
        self.assertEqual(2, page.count("&lt;script&gt;document.title="), "body and client shown")


class SymbolTest(ServerTest):
    """Addresses named by the builds' symbol files, gathered by function
    across builds; install_entry moved between 042 and 043."""
    start = day(0)
    symbols = {
        "VeltranoxSetup-042.sym": screenshot.symbol_file("042", [
            (0x401000, "WinMain"), (0x40A1AC, "install_entry"), (0x40A300, "path_join")],
            0x40A600),
        "VeltranoxSetup-043.sym": screenshot.symbol_file("043", [
            (0x401000, "WinMain"), (0x40A270, "install_entry"), (0x40A400, "path_join")],
            0x40A700),
    }

    def signatures(self):
        """(exception, function or address, builds, reports) of each row of
        /reports, and the rows beneath: (where, address, build, reports)."""
        status, _, page = self.summary()
        self.assertEqual(200, status)
        table = page.decode().split("<h2>Signatures by reports</h2>", 1)[1].split("<h2>", 1)[0]
        rows = re.findall(r'<tr( class="at")?><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)'
                          r'</td><td>(\d+)</td>', table)
        return [(html.unescape(b), html.unescape(c), d, int(e)) for _, b, c, d, e in rows]

    def test_a_fault_is_one_signature_across_builds_named_from_the_symbol_files(self):
        access = "EXCEPTION_ACCESS_VIOLATION"
        for count, body in [(3, report(address="0040A2B7")),
                            (2, report(address="0040A1F3", build="042")),
                            (1, report(address="0040A2C0")),
                            (1, report(name="EXCEPTION_INT_DIVIDE_BY_ZERO", address="0040A2B7")),
                            (1, report(address="0040A2B7", build="044")),  # no symbol file
                            (1, report(address="7C812AFB")),               # not its code
                            (1, report(address="00400800"))]:              # nor this
            for i in range(count):
                self.now += 60
                self.assertEqual((200, b"OK"), self.post(body, source="127.0.0.%d" % (2 + i)))
        self.assertEqual([
            (access, "install_entry", "043, 042", 6),
            ("", "install_entry+0x47 at 0040A2B7", "043", 3),
            ("", "install_entry+0x47 at 0040A1F3", "042", 2),
            ("", "install_entry+0x50 at 0040A2C0", "043", 1),
            (access, "00400800", "043", 1),     # the latest first
            (access, "7C812AFB", "043", 1),
            (access, "0040A2B7", "044", 1),
            ("EXCEPTION_INT_DIVIDE_BY_ZERO", "install_entry", "043", 1),
            ("", "install_entry+0x47 at 0040A2B7", "043", 1)], self.signatures())
        figures = self.figures()
        top = figures["signatures"][0]
        self.assertEqual((access, "install_entry", None, ["043", "042"], 6, 0.6),
                         (top["exception"], top["function"], top["address"], top["builds"],
                          top["reports"], round(top["share"], 6)))
        self.assertEqual([("0040A2B7", "043", "install_entry", 0x47, 3),
                          ("0040A1F3", "042", "install_entry", 0x47, 2),
                          ("0040A2C0", "043", "install_entry", 0x50, 1)],
                         [(g["address"], g["build"], g["function"], g["offset"], g["reports"])
                          for g in top["groups"]])
        self.assertEqual([6], top["daily"])
        self.assertEqual([("0040A2B7", "044", None)],
                         [(g["address"], g["build"], g["function"]) for g in figures["groups"]
                          if g["build"] == "044"])

        # Named when the page is made: a symbol file copied in later names
        # the reports that came before it. One that cannot be read, or a
        # build that two files claim, names nothing and is logged.
        self.add_symbols("VeltranoxSetup-044.sym", self.symbols["VeltranoxSetup-043.sym"]
                         .replace("build 043", "build 044"))
        self.assertEqual((access, "install_entry", "044, 043, 042", 7), self.signatures()[0])
        bad = ["", "program VeltranoxSetup.exe\n", self.symbols["VeltranoxSetup-043.sym"]
               .replace("0040A400", "0040A100"), "\xff" * 10,
               self.symbols["VeltranoxSetup-043.sym"].replace("etext", "more")]
        for i, text in enumerate(bad):
            with open(os.path.join(self.symbol_dir, "bad%d.sym" % i), "w",
                      encoding="latin-1") as f:
                f.write(text)
        self.add_symbols("copy.sym", self.symbols["VeltranoxSetup-042.sym"])
        with unittest.mock.patch("sys.stderr", io.StringIO()) as errors:
            rows = self.signatures()
        self.assertEqual([(access, "install_entry", "044, 043", 5),
                          (access, "0040A1F3", "042", 2)], [row for row in rows if row[0]][:2])
        self.assertEqual(len(bad) + 1, errors.getvalue().count("symbol file not used"),
                         errors.getvalue())
        self.assertIn("build 042: in VeltranoxSetup-042.sym, copy.sym", errors.getvalue())


class NoPasswordTest(ServerTest):
    password = None

    def test_without_a_configured_password_the_summary_is_off(self):
        for password in [PASSWORD, "", "None"]:
            for path in ["/reports", "/reports.json"]:
                self.assertEqual(403, self.summary(password=password, path=path)[0])
        self.assertEqual((200, b"OK"), self.post(report()))


class WsgiEntryTest(unittest.TestCase):
    def test_the_wsgi_entry_point_is_configured_from_the_environment(self):
        folder = tempfile.mkdtemp(prefix="vreport-test-")
        self.addCleanup(shutil.rmtree, folder)
        password_file = os.path.join(folder, "password")
        with open(password_file, "w") as f:
            f.write(" %s \nsecond line\n" % PASSWORD)
        # A database as the first version of the server left it: migrated
        # in place, its reports counted.
        db = os.path.join(folder, "reports.sqlite3")
        with sqlite3.connect(db) as connection:
            connection.executescript("""
                CREATE TABLE reports (id INTEGER PRIMARY KEY AUTOINCREMENT, received TEXT NOT NULL,
                    client TEXT NOT NULL, malformed INTEGER NOT NULL, exception TEXT,
                    address TEXT, build TEXT, body BLOB NOT NULL);
                CREATE INDEX reports_group ON reports (exception, address, build);""")
            connection.execute(
                "INSERT INTO reports (received, client, malformed, exception, address, build,"
                " body) VALUES (?, '10.0.0.1', 0, 'EXCEPTION_ACCESS_VIOLATION', '00000ABC', '043',"
                " ?)", (vreport._timestamp(time.time() - 86400), report()))
            connection.execute("INSERT INTO reports (received, client, malformed, body)"
                               " VALUES ('2020-01-01T00:00:00Z', '10.0.0.2', 1, x'00')")
        # Only builds with a symbol file, when that is asked for.
        symbols = os.path.join(folder, "symbols")
        os.mkdir(symbols)
        for name, text in [("setup-043.sym", screenshot.symbol_file("043", [(0x401000, "WinMain")],
                                                                    0x402000)),
                           ("notes.txt", screenshot.symbol_file("045", [], 0x402000)),
                           ("broken.sym", "program VeltranoxSetup.exe\nbuild 045\n")]:
            with open(os.path.join(symbols, name), "w") as f:
                f.write(text)
        environment = {"VREPORT_DB": db, "VREPORT_PASSWORD_FILE": password_file,
                       "VREPORT_PASSWORD": "other", "VREPORT_LIMIT": "2",
                       "VREPORT_SYMBOLS": symbols, "VREPORT_REQUIRE_SYMBOLS": "1"}
        authorization = {"HTTP_AUTHORIZATION": "Basic " + base64.b64encode(
            b"x:" + PASSWORD.encode()).decode()}
        with unittest.mock.patch.dict(os.environ, environment):
            answers = []
            for method, path, body, extra in [
                    ("POST", "/vreport.asp", report(), {"CONTENT_TYPE": FORM}),
                    ("POST", "/vreport.asp", report(), {"CONTENT_TYPE": FORM}),
                    ("POST", "/vreport.asp", report(build="044"), {"CONTENT_TYPE": FORM}),
                    ("POST", "/vreport.asp", report(build="045"), {"CONTENT_TYPE": FORM,
                                                                   "REMOTE_ADDR": "10.0.0.4"}),
                    ("GET", "/reports", b"", {"HTTP_AUTHORIZATION": "Basic " + base64.b64encode(
                        b"x:other").decode()}),
                    ("GET", "/reports", b"", authorization),
                    ("GET", "/reports.json", b"", authorization)]:
                environ = {"REQUEST_METHOD": method, "PATH_INFO": path, "REMOTE_ADDR": "10.0.0.3",
                           "CONTENT_LENGTH": str(len(body)), "wsgi.input": io.BytesIO(body)}
                environ.update(extra)
                wsgiref.util.setup_testing_defaults(environ)
                status = []
                page = b"".join(vreport.application(
                    environ, lambda s, headers: status.append(s)))
                answers.append((status[0][:3], page[:2]))
        self.assertEqual([("200", b"OK"), ("200", b"OK"), ("429", b"to"), ("200", b"OK"),
                          ("401", b"pa"),
                          ("200", b"<!"), ("200", b"{\n")], answers)
        figures = json.loads(page)
        self.assertEqual([("00000ABC", "043", 3)], [(g["address"], g["build"], g["reports"])
                                                    for g in figures["groups"]])
        self.assertEqual((1, {"reports": 1, "builds": 1}),
                         (figures["malformed_kept"], figures["kept_aside"]))
        with sqlite3.connect(db) as connection:
            self.assertEqual([("10.0.0.1", 0), ("10.0.0.2", 0), ("10.0.0.3", 1), ("10.0.0.4", 0)],
                             connection.execute("SELECT client, repeats FROM reports").fetchall())


class SettingsTest(unittest.TestCase):
    def test_a_wrong_setting_stops_the_start_and_is_named(self):
        folder = tempfile.mkdtemp(prefix="vreport-test-")
        self.addCleanup(shutil.rmtree, folder)
        db = os.path.join(folder, "reports.sqlite3")
        for wrong, named in [
                ({"VREPORT_PASSWORD_FILE": os.path.join(folder, "missing")},
                 "VREPORT_PASSWORD_FILE"),
                ({"VREPORT_LIMIT": "abc"}, "VREPORT_LIMIT"),
                ({"VREPORT_WINDOW": "0"}, "VREPORT_WINDOW"),
                ({"VREPORT_KEEP_DAYS": "nan"}, "VREPORT_KEEP_DAYS"),
                ({"VREPORT_TRUSTED_PROXIES": "127.0.0.1, proxy.example"},
                 "VREPORT_TRUSTED_PROXIES"),
                ({"VREPORT_DB": folder}, "VREPORT_DB"),
                ({"VREPORT_DB": os.path.join(folder, "none", "reports.sqlite3")}, "VREPORT_DB"),
                ({"VREPORT_REQUIRE_SYMBOLS": "1"}, "VREPORT_REQUIRE_SYMBOLS"),
                ({"VREPORT_REQUIRE_SYMBOLS": "1", "VREPORT_SYMBOLS": os.path.join(folder, "no")},
                 "VREPORT_SYMBOLS")]:
            environment = dict({"VREPORT_DB": db}, **wrong)
            with self.assertRaises(vreport.ConfigurationError, msg=wrong) as raised:
                vreport.configured_app(environment)
            self.assertTrue(str(raised.exception).startswith(named), str(raised.exception))


class FloodTest(ServerTest):
    gunicorn = True  # the counts must hold across worker processes
    settings = {"limit": 10, "malformed_kept": 3, "trusted_proxies": ["127.0.0.9"]}

    def test_a_flood_is_answered_429_counted_not_stored_and_others_get_through(self):
        for i in range(10):
            self.assertEqual((200, b"OK"), self.post(report(), source="127.0.0.2"))
            if i % 2:
                self.assertEqual((200, b"OK"), self.post(report(address="%08X" % i),
                                                         source="127.0.0.3"))
        for body in [report(), report(build="044"), b"log=other"]:
            status, headers, _ = self.request("POST", "/vreport.asp", body,
                                              {"Content-Type": FORM}, "127.0.0.2")
            self.assertEqual(429, status)
            self.assertTrue(1 <= int(headers["Retry-After"]) <= 3600, headers["Retry-After"])
        # Malformed bodies: only the newest are kept.
        for i in range(6):
            self.assertEqual((200, b"OK"), self.post(b"log=junk%d" % i, source="127.0.0.4"))
        # Behind the trusted proxy, the address it saw is the client's.
        for source, forwarded, expected in [("127.0.0.9", "127.0.0.2, 192.0.2.7", (200, b"OK")),
                                            ("127.0.0.9", "127.0.0.2", 429),
                                            ("127.0.0.5", "192.0.2.8", (200, b"OK"))]:
            answer = self.post(report(build="045"), source=source,
                               headers={"X-Forwarded-For": forwarded})
            self.assertEqual(expected, answer if expected != 429 else answer[0], forwarded)
        self.assertEqual([("127.0.0.2", 0, "043", 9)] +
                         [("127.0.0.3", 0, "043", 0)] * 5 +
                         [("127.0.0.4", 1, None, 0)] * 3 +
                         [("192.0.2.7", 0, "045", 0), ("127.0.0.5", 0, "045", 0)],
                         self.rows("client, malformed, build, repeats"))
        self.assertEqual([b"log=junk3", b"log=junk4", b"log=junk5"],
                         [body for malformed, _, _, _, body in self.rows() if malformed])
        self.assertEqual(10, self.figures()["groups"][0]["reports"])


class WindowTest(ServerTest):
    """The limits on the server's own clock, moved past their window."""
    start = day(0)
    settings = {"limit": 3, "window": 600, "store_limit": 4, "keep_days": 30}

    def test_a_limited_client_is_let_in_again_once_its_window_is_over(self):
        for i in range(3):
            self.assertEqual((200, b"OK"), self.post(report(address="%08X" % i)))
        self.assertEqual(429, self.post(report(address="00000009"))[0])
        self.now += 601
        self.assertEqual((200, b"OK"), self.post(report(address="00000009")),
                         "still refused after its window")

    def test_all_clients_together_store_no_more_than_the_bound_and_old_reports_go(self):
        old = self.now
        for i in range(4):
            self.assertEqual((200, b"OK"), self.post(report(address="%08X" % i),
                                                     source="127.0.1.%d" % i))
        # Over the bound: not stored, so not acknowledged; what is stored
        # already is still counted, and malformed bodies have their own bound.
        with unittest.mock.patch("sys.stderr", io.StringIO()) as log:
            status, headers, _ = self.request("POST", "/vreport.asp", report(address="0000000A"),
                                              {"Content-Type": FORM}, "127.0.1.9")
        self.assertEqual(503, status)
        self.assertTrue(1 <= int(headers["Retry-After"]) <= 600, headers["Retry-After"])
        self.assertIn("VREPORT_STORE_LIMIT", log.getvalue())
        self.assertEqual((200, b"OK"), self.post(report(address="00000000"), source="127.0.1.0"))
        self.assertEqual((200, b"OK"), self.post(b"log=junk", source="127.0.1.9"))
        self.now += 601
        self.assertEqual((200, b"OK"), self.post(report(address="0000000A"), source="127.0.1.9"))
        # 31 days later the reports of the first day are gone, the new one kept.
        self.now = old + 31 * 86400
        self.assertEqual((200, b"OK"), self.post(report(address="0000000B")))
        self.assertEqual(["0000000B"], [a for a, in self.rows("address")])
        self.assertEqual([("0000000B", 1)], [(g["address"], g["reports"])
                                             for g in self.figures("?days=3660")["groups"]])


class LoadTest(ServerTest):
    THREADS = 20
    PER_THREAD = 100
    SLOW = 1000         # connections that trickle
    server_settings = {"timeout": 3.0}

    def test_reports_are_answered_while_a_thousand_connections_trickle(self):
        head = (b"POST /vreport.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + FORM.encode() +
                b"\r\nContent-Length: 90\r\n\r\n" + report()[:60])
        slow = [socket.create_connection(("127.0.0.1", self.port), timeout=10,
                                         source_address=("127.0.3.%d" % (1 + n % 20), 0))
                for n in range(self.SLOW)]
        for connection in slow:
            self.addCleanup(connection.close)
        opened = time.monotonic()
        sent = [0] * len(slow)
        stop = threading.Event()

        def trickle():  # a byte every half second on each, never all of it
            for _ in range(120):
                for n, connection in enumerate(slow):
                    if 0 <= sent[n] < len(head) - 1:
                        try:
                            sent[n] += connection.send(head[sent[n]:sent[n] + 1])
                        except OSError:
                            sent[n] = -1
                if stop.wait(0.5):
                    return

        trickler = threading.Thread(target=trickle, daemon=True)
        trickler.start()
        self.addCleanup(trickler.join, 30)
        self.addCleanup(stop.set)
        answers = [self.post(report(address="%08X" % n), source="127.0.4.%d" % (1 + n))
                   for n in range(20)]
        self.assertEqual([(200, b"OK")] * 20, answers)
        print("\n%s: 20 of 20 reports answered while %d connections trickled, in %.1f s"
              % ("gunicorn" if self.gunicorn else "embedded", self.SLOW,
                 time.monotonic() - opened), file=sys.stderr)
        if self.gunicorn:
            return
        # Still sending, yet cut at the deadline of the whole request; and
        # one address gets no more than its share of connections.
        crowd = [socket.create_connection(("127.0.0.1", self.port), timeout=10,
                                          source_address=("127.0.5.1", 0)) for _ in range(70)]
        for connection in crowd:
            self.addCleanup(connection.close)
        time.sleep(max(0.0, opened + 3.0 + 4.0 - time.monotonic()))
        self.assertTrue(trickler.is_alive())
        ended = 0
        for connection in slow:
            connection.setblocking(False)
            try:
                ended += connection.recv(100).startswith(b"HTTP/1.0 408") or True
            except BlockingIOError:
                pass
            except ConnectionError:
                ended += 1
        self.assertEqual(self.SLOW, ended)
        closed = 0
        for connection in crowd:
            connection.setblocking(False)
            try:
                closed += connection.recv(100) == b""
            except BlockingIOError:
                pass
            except ConnectionError:
                closed += 1
        self.assertGreaterEqual(closed, 70 - vreport.DEFAULT_MAX_CONNECTIONS_PER_CLIENT)

    def test_reports_from_many_threads_are_all_stored_once(self):
        def upload(thread):
            answers = []
            for i in range(self.PER_THREAD):
                n = thread * self.PER_THREAD + i
                # Ten reports from each address: load, not a flood.
                source = "127.0.%d.%d" % (1 + n // 2500, 2 + n // 10 % 250)
                answers.append(self.post(report(address="%08X" % n), source=source))
            return answers

        start = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(self.THREADS) as pool:
            results = list(pool.map(upload, range(self.THREADS), timeout=300))
        elapsed = time.monotonic() - start
        total = self.THREADS * self.PER_THREAD
        self.assertEqual([(200, b"OK")] * total, [a for answers in results for a in answers])
        stored = self.rows("address, malformed")
        self.assertEqual(total, len(stored))
        self.assertEqual({"%08X" % n for n in range(total)}, {a for a, _ in stored})
        self.assertEqual({0}, {m for _, m in stored})
        print("\n%s: %d reports from %d threads in %.2f s (%.0f a second)" %
              ("gunicorn" if self.gunicorn else "embedded", total, self.THREADS, elapsed,
               total / elapsed), file=sys.stderr)


class GunicornLoadTest(LoadTest):
    gunicorn = True

    def test_gunicorn_stops_on_a_wrong_setting_and_a_unix_socket_needs_its_proxy(self):
        path = os.path.join(self.folder, "vreport.sock")
        for bind, environment, named in [
                ("127.0.0.1:0", {"VREPORT_LIMIT": "abc"}, "VREPORT_LIMIT: 'abc' is not a number"),
                ("127.0.0.1:0", {"VREPORT_PASSWORD_FILE": path}, "VREPORT_PASSWORD_FILE: cannot"),
                ("unix:" + path, {}, "VREPORT_TRUSTED_PROXIES=unix")]:
            process = self.start_gunicorn(bind, environment)
            self.assertNotEqual(0, process.wait(60), named)
            with open(self.log_path, encoding="utf-8") as log:
                self.assertIn(named, log.read())
        # Behind the proxy on a unix socket, the proxy names the client.
        self.start_gunicorn("unix:" + path, {"VREPORT_TRUSTED_PROXIES": "unix",
                                             "VREPORT_LIMIT": "1"})

        class UnixConnection(http.client.HTTPConnection):
            def connect(self):
                self.sock = socket.socket(socket.AF_UNIX)
                self.sock.settimeout(30)
                self.sock.connect(path)

        answers = []
        for forwarded in ["192.0.2.7", "192.0.2.8", "192.0.2.7"]:
            connection = UnixConnection("localhost")
            connection.request("POST", "/vreport.asp", report(address="0000000%s" % forwarded[-1]),
                               {"Content-Type": FORM, "X-Forwarded-For": forwarded})
            answers.append(connection.getresponse().status)
            connection.close()
        self.assertEqual([200, 200, 429], answers)
        self.assertEqual([("192.0.2.7",), ("192.0.2.8",)], self.rows("client"))

    def test_gunicorn_refuses_lengths_of_thousands_of_digits(self):
        self.refuses_lengths_of_thousands_of_digits()
        self.assertEqual((200, b"OK"), self.post(report()))
        self.assertEqual([(0, "043")], self.rows("malformed, build"))


if __name__ == "__main__":
    unittest.main()
