#!/usr/bin/env python3
"""The crash report server on a free loopback port: what it keeps, what it
refuses, what the summary shows, and many uploads at once."""
import base64
import concurrent.futures
import http.client
import io
import os
import re
import shutil
import socket
import sqlite3
import sys
import tempfile
import threading
import time
import unittest
import unittest.mock
import wsgiref.util

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "server"))
import vreport  # noqa: E402

PASSWORD = "summary-test-password"
FORM = "application/x-www-form-urlencoded"


def report(name="EXCEPTION_ACCESS_VIOLATION", address="00000ABC", build="043"):
    """A body as the setup program sends it (blanks already turned into +)."""
    return ("log=INSTALLER+ERROR%0A%0D" + name + "%0A%0Dat+" + address + "%0A%0DBuild:+" +
            build + "%0A%0D").replace(" ", "+").encode("ascii")


class ServerTest(unittest.TestCase):
    password = PASSWORD

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vreport-test-")
        self.db = os.path.join(self.folder, "reports.sqlite3")
        self.server = vreport.make_server("127.0.0.1", 0, vreport.make_app(self.db, self.password),
                                          quiet=True, timeout=1.0)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(10)
        shutil.rmtree(self.folder)

    def request(self, method, path, body=None, headers=None):
        """(status, headers, body) of one request."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request(method, path, body, headers or {})
            response = connection.getresponse()
            return response.status, response.headers, response.read()
        finally:
            connection.close()

    def post(self, body, content_type=FORM):
        headers = {"Content-Type": content_type} if content_type else {}
        status, _, answer = self.request("POST", "/vreport.asp", body, headers)
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

    def rows(self, columns="malformed, exception, address, build, body"):
        with sqlite3.connect(self.db) as connection:
            return connection.execute("SELECT %s FROM reports ORDER BY id" % columns).fetchall()

    def summary(self, user="anyone", password=PASSWORD):
        token = base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
        return self.request("GET", "/reports", headers={"Authorization": "Basic " + token})


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
        # Thousands of digits (more than int() takes): refused, not a 500.
        for length in [b"0" * 5000 + b"5", b"9" * 5000]:
            answer = self.raw(head + b"\r\nContent-Length: " + length + b"\r\n\r\nlog=A")
            self.assertTrue(answer.startswith(b"HTTP/1.0 400"), (length[-8:], answer))
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
        os.remove(self.db)
        os.mkdir(self.db)  # no database can be opened there
        with unittest.mock.patch("sys.stderr", io.StringIO()) as errors:
            self.assertEqual((503, b"not stored"), self.post(report()))
        self.assertIn("not stored", errors.getvalue())


class SummaryTest(ServerTest):
    def test_only_the_password_opens_the_summary(self):
        status, headers, _ = self.request("GET", "/reports")
        self.assertEqual(401, status)
        self.assertIn("Basic", headers["WWW-Authenticate"])
        for password in ["wrong", PASSWORD + "x", PASSWORD[:-1], ""]:
            self.assertEqual(401, self.summary(password=password)[0], password)
        for value in ["Bearer " + PASSWORD, "Basic " + PASSWORD, "Basic !!", PASSWORD]:
            self.assertEqual(401, self.request("GET", "/reports",
                                               headers={"Authorization": value})[0], value)
        self.assertEqual((200, 200), (self.summary()[0], self.summary(user="")[0]))
        self.assertEqual(405, self.request("POST", "/reports", b"")[0])

    def test_groups_newest_first_with_counts_and_everything_escaped(self):
        for body in [report(), report(), report(address="00000ABD"),
                     b"log=<b>bold</b>&x=\"'\r\n", report(),
                     report(name="<UNKNOWN ERROR>", address="DEADBEEF", build="044")]:
            self.assertEqual((200, b"OK"), self.post(body))
        status, headers, page = self.summary()
        self.assertEqual(200, status)
        self.assertTrue(headers["Content-Type"].startswith("text/html"))
        page = page.decode("utf-8")
        groups = re.findall(r"<tr><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td>"
                            r"<td>(\d+)</td><td>[^<]*</td><td>[^<]*</td></tr>", page)
        self.assertEqual([("&lt;UNKNOWN ERROR&gt;", "DEADBEEF", "044", "1"),
                          ("EXCEPTION_ACCESS_VIOLATION", "00000ABC", "043", "3"),
                          ("EXCEPTION_ACCESS_VIOLATION", "00000ABD", "043", "1")], groups)
        self.assertIn("Malformed reports: 1", page)
        self.assertIn("log=&lt;b&gt;bold&lt;/b&gt;&amp;x=&quot;&#x27;\\x0d\\x0a", page)
        self.assertNotIn("<b>", page)
        self.assertNotIn("<UNKNOWN", page)


class NoPasswordTest(ServerTest):
    password = None

    def test_without_a_configured_password_the_summary_is_off(self):
        for password in [PASSWORD, "", "None"]:
            self.assertEqual(403, self.summary(password=password)[0])
        self.assertEqual((200, b"OK"), self.post(report()))


class WsgiEntryTest(unittest.TestCase):
    def test_the_wsgi_entry_point_is_configured_from_the_environment(self):
        folder = tempfile.mkdtemp(prefix="vreport-test-")
        self.addCleanup(shutil.rmtree, folder)
        password_file = os.path.join(folder, "password")
        with open(password_file, "w") as f:
            f.write(" %s \nsecond line\n" % PASSWORD)
        environment = {"VREPORT_DB": os.path.join(folder, "reports.sqlite3"),
                       "VREPORT_PASSWORD_FILE": password_file, "VREPORT_PASSWORD": "other"}
        with unittest.mock.patch.dict(os.environ, environment):
            answers = []
            for method, path, body, extra in [
                    ("POST", "/vreport.asp", report(), {"CONTENT_TYPE": FORM}),
                    ("GET", "/reports", b"", {"HTTP_AUTHORIZATION": "Basic " + base64.b64encode(
                        b"x:other").decode()}),
                    ("GET", "/reports", b"", {"HTTP_AUTHORIZATION": "Basic " + base64.b64encode(
                        b"x:" + PASSWORD.encode()).decode()})]:
                environ = {"REQUEST_METHOD": method, "PATH_INFO": path,
                           "CONTENT_LENGTH": str(len(body)), "wsgi.input": io.BytesIO(body)}
                environ.update(extra)
                wsgiref.util.setup_testing_defaults(environ)
                status = []
                page = b"".join(vreport.application(
                    environ, lambda s, headers: status.append(s)))
                answers.append((status[0][:3], page[:2]))
        self.assertEqual([("200", b"OK"), ("401", b"pa"), ("200", b"<!")], answers)


class LoadTest(ServerTest):
    THREADS = 20
    PER_THREAD = 100

    def test_reports_from_many_threads_are_all_stored_once(self):
        def upload(thread):
            answers = []
            for i in range(self.PER_THREAD):
                address = "%08X" % (thread * self.PER_THREAD + i)
                answers.append(self.post(report(address=address)))
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
        print("\n%d reports from %d threads in %.2f s (%.0f a second)" %
              (total, self.THREADS, elapsed, total / elapsed), file=sys.stderr)


if __name__ == "__main__":
    unittest.main()
