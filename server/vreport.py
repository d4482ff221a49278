#!/usr/bin/env python3
"""Receives the setup program's crash reports and keeps them in SQLite.

POST /vreport.asp   the setup program's report: an application/x-www-form-
                    urlencoded body with one field, "log", whose value is four
                    lines, each ended by LF CR:
                        INSTALLER ERROR
                        EXCEPTION_ACCESS_VIOLATION      (the exception's name)
                        at 00000ABC                     (its address)
                        Build: 043
                    A report of at most 4096 bytes is stored (a body that is
                    not such a report is stored as malformed; only the newest
                    ones of those are kept) and answered with exactly the two
                    bytes "OK": the setup program posts again every ten
                    minutes until it reads them. The same body again from the
                    same client within the window is counted on the row
                    already stored, not stored again, and answered "OK" too.
                    A client that has posted more than the limit within the
                    window is answered 429 and nothing is stored: its setup
                    program posts again later. Refused, not stored and not
                    read: a body over 4096 bytes (413), one without a usable
                    Content-Length (411, 400), a content type other than the
                    form's (415): the setup program never sends these.
GET /reports        HTML summary of a period (?days=30, the default, and
                    ?build=043 for one build): reports per day by build as a
                    chart, the builds, the signatures (the exception and the
                    function it struck, across builds, each with its builds
                    and addresses beneath; an address that no symbol file
                    names is a signature of its own, with its build) ordered
                    by their count with their share and trend, and the latest
                    malformed bodies.
GET /reports.json   the same figures for other tools.
                    Both behind HTTP Basic authentication: any user name, the
                    configured password. Without a configured password they
                    are switched off (403); there is no default one.

Standard library only. Run it embedded (python3 vreport.py --help) or behind
any WSGI server with `vreport:application`, configured from the environment:
    VREPORT_DB              SQLite file (required)
    VREPORT_PASSWORD_FILE   file whose first line is the summary password
    VREPORT_PASSWORD        the password itself (when no file is given)
    VREPORT_LIMIT           posts a client may make within the window (120)
    VREPORT_WINDOW          the window in seconds (3600)
    VREPORT_MALFORMED_KEPT  how many malformed bodies are kept, newest (1000)
    VREPORT_TRUSTED_PROXIES addresses of the reverse proxies whose
                            X-Forwarded-For names the client (comma-separated;
                            none by default: the peer is the client); "unix"
                            for the proxy in front of a unix socket
    VREPORT_STORE_LIMIT     new reports stored within the window, from all
                            clients together (10000); then 503
    VREPORT_PASSWORD_TRIES  wrong summary passwords a client may give within
                            the window (20); then 429 for that client only
    VREPORT_KEEP_DAYS       reports older than this many days are removed
                            (0, the default: kept)
    VREPORT_SYMBOLS         folder of the builds' symbol files (*.sym, see
                            symbols.py), read again when they change: they
                            name the functions; none by default: addresses
                            are shown as they came
    VREPORT_REQUIRE_SYMBOLS 1: builds without a symbol file are kept aside
The settings are checked when the server starts (under gunicorn: when its
workers load this module); a wrong one stops the start, naming it.
"""
import argparse
import base64
import contextlib
import datetime
import hmac
import html
import ipaddress
import io
import json
import os
import queue
import re
import selectors
import socket
import socketserver
import sqlite3
import sys
import threading
import time
import urllib.parse
from wsgiref import simple_server

import symbols as symbol_files

MAX_BODY = 4096
# A length of at most 4096 needs four digits; a longer text is no honest
# length (and int() refuses texts of more than 4300 digits outright).
MAX_LENGTH_DIGITS = 10
FORM_TYPE = "application/x-www-form-urlencoded"
BUSY_TIMEOUT_S = 30.0
# What a summary shows at most, whatever is stored; the rest is summed.
SUMMARY_GROUPS = 100
SUMMARY_BUILDS = 20
SUMMARY_SPARKLINES = 20
SUMMARY_MALFORMED = 50
SUMMARY_BODY = 512    # bytes of a malformed body shown
DEFAULT_DAYS = 30
MAX_DAYS = 3660
# A crashed setup program posts once every ten minutes: 6 an hour.
DEFAULT_LIMIT = 120
DEFAULT_WINDOW_S = 3600
DEFAULT_MALFORMED_KEPT = 1000
DEFAULT_STORE_LIMIT = 10000
DEFAULT_PASSWORD_TRIES = 20
# The embedded server: each request must be in whole within the deadline.
DEFAULT_DEADLINE_S = 10.0
DEFAULT_MAX_CONNECTIONS = 4000
DEFAULT_MAX_CONNECTIONS_PER_CLIENT = 64
MAX_HEAD = 8192
DEFAULT_THREADS = 16
# Rows of the clients table that are no client's: the window of all new
# reports together, and a client's wrong passwords (prefix + its key).
ALL_CLIENTS = "*"
PASSWORD_KEY = "password "

SCHEMA_VERSION = 1
SCHEMA = """
CREATE TABLE IF NOT EXISTS reports (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    received  TEXT NOT NULL,     -- UTC, ISO 8601
    client    TEXT NOT NULL,     -- the client's address (see client_address)
    malformed INTEGER NOT NULL,  -- 1: the fields below are NULL
    exception TEXT,
    address   TEXT,              -- eight upper-case hex digits
    build     TEXT,              -- as sent, e.g. "043"
    body      BLOB NOT NULL,     -- the request body, byte for byte
    repeats   INTEGER NOT NULL DEFAULT 0  -- the same body again, counted here
);
CREATE INDEX IF NOT EXISTS reports_group ON reports (exception, address, build);
"""
# Added by version 1. A database of version 0 (reports without repeats) is
# migrated in place when the server opens it.
SCHEMA_1 = """
CREATE INDEX IF NOT EXISTS reports_client ON reports (client, received);
CREATE INDEX IF NOT EXISTS reports_malformed ON reports (id) WHERE malformed = 1;
-- Well-formed reports (repeats included) per day and group: what the
-- summary reads, so that its time does not grow with the reports kept.
CREATE TABLE IF NOT EXISTS daily (
    day       TEXT NOT NULL,     -- UTC, YYYY-MM-DD
    exception TEXT NOT NULL,
    address   TEXT NOT NULL,
    build     TEXT NOT NULL,
    reports   INTEGER NOT NULL,
    first     TEXT NOT NULL,     -- first and last received that day
    last      TEXT NOT NULL,
    PRIMARY KEY (day, exception, address, build)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS daily_group ON daily (exception, address, build, first, last);
-- Posts per client in its current window.
CREATE TABLE IF NOT EXISTS clients (
    client    TEXT PRIMARY KEY,  -- address, or an IPv6 address's /64
    since     INTEGER NOT NULL,  -- start of the window, Unix time
    posts     INTEGER NOT NULL
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS clients_since ON clients (since);
"""

_LINE_END = "\n\r"  # the setup program ends each line with %0A%0D
_NAME = re.compile(r"(EXCEPTION_[A-Z0-9_]{1,60}|<UNKNOWN ERROR>)\Z")
_ADDRESS = re.compile(r"at ([0-9A-F]{8})\Z")
# The setup program writes its build as three digits: a report with any
# other build is kept aside with the malformed bodies (bounded), and the
# summary leaves out such builds that an earlier version stored.
_BUILD = re.compile(r"Build: ([0-9]{3})\Z")
REAL_BUILD_SQL = "build GLOB '[0-9][0-9][0-9]'"


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


def _timestamp(now):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(now))


def connect(path):
    # timeout: how long a writer waits for another one's lock (busy timeout)
    return sqlite3.connect(path, timeout=BUSY_TIMEOUT_S, isolation_level=None)


@contextlib.contextmanager
def transaction(path, begin="BEGIN IMMEDIATE"):
    """A connection to the store inside one transaction: committed when the
    block ends, rolled back when it raises, closed either way."""
    connection = connect(path)
    try:
        connection.execute(begin)
        try:
            yield connection
            connection.execute("COMMIT")
        except BaseException:
            # SQLite has already rolled back after some errors (a full disk):
            # a ROLLBACK then fails and would hide the error that counts.
            if connection.in_transaction:
                with contextlib.suppress(sqlite3.Error):
                    connection.execute("ROLLBACK")
            raise
    finally:
        connection.close()


# What an SQLite error means for the operator, by its code.
_CAUSES = [("SQLITE_FULL", "the disk is full"),
           ("SQLITE_READONLY", "the database is read-only"),
           ("SQLITE_BUSY", "the database is locked by another writer"),
           ("SQLITE_LOCKED", "the database is locked"),
           ("SQLITE_CORRUPT", "the database file is damaged"),
           ("SQLITE_NOTADB", "the file is not an SQLite database"),
           ("SQLITE_CANTOPEN", "the database file cannot be opened"),
           ("SQLITE_PERM", "no permission to the database file"),
           ("SQLITE_IOERR", "reading or writing the database failed"),
           ("SQLITE_NOMEM", "out of memory")]


def cause(error):
    """An error as the log names it: its cause first, then SQLite's words."""
    name = getattr(error, "sqlite_errorname", "") or ""
    for code, text in _CAUSES:
        if name == code or name.startswith(code + "_"):
            return "%s (%s: %s)" % (text, name, error)
    if isinstance(error, MemoryError):
        return "out of memory"
    return "%s: %s" % (type(error).__name__, error)


def rebuild_daily(connection):
    """Fills the per-day counts from the stored reports (inside the caller's
    transaction): for a database that had none."""
    connection.execute("DELETE FROM daily")
    connection.execute(
        "INSERT INTO daily (day, exception, address, build, reports, first, last)"
        " SELECT substr(received, 1, 10), exception, address, build,"
        "        SUM(1 + repeats), MIN(received), MAX(received)"
        " FROM reports WHERE malformed = 0 GROUP BY 1, 2, 3, 4")


def open_store(path):
    """Creates the tables when missing, migrates an older database in place
    and puts the file in WAL mode, so that readers never block the writers
    and each report is one short write. Safe when several processes open
    the same file at once."""
    # The journal mode is kept in the file itself.
    connection = connect(path)
    try:
        connection.execute("PRAGMA journal_mode = WAL")
    finally:
        connection.close()
    with transaction(path) as connection:
        version, = connection.execute("PRAGMA user_version").fetchone()
        if version < SCHEMA_VERSION:
            for statement in SCHEMA.split(";\n"):
                if statement.strip():
                    connection.execute(statement)
            columns = [row[1] for row in connection.execute("PRAGMA table_info(reports)")]
            if "repeats" not in columns:
                connection.execute("ALTER TABLE reports ADD COLUMN repeats"
                                   " INTEGER NOT NULL DEFAULT 0")
            for statement in SCHEMA_1.split(";\n"):
                if statement.strip():
                    connection.execute(statement)
            rebuild_daily(connection)
            connection.execute("PRAGMA user_version = %d" % SCHEMA_VERSION)


def client_key(client):
    """What the limit counts: the address, for IPv6 its /64 (the smallest
    network a provider hands out, all of it one client's)."""
    try:
        address = ipaddress.ip_address(client)
    except ValueError:
        return client
    if address.version == 6:
        if address.ipv4_mapped is not None:
            return str(address.ipv4_mapped)
        return str(ipaddress.ip_network("%s/64" % address, strict=False))
    return str(address)


def parse_networks(text):
    """Networks from a comma-separated list of addresses or networks."""
    return [ipaddress.ip_network(item.strip(), strict=False)
            for item in (text or "").split(",") if item.strip()]


def client_address(environ, trusted_proxies):
    """The client's address: the peer's, or, when the peer is one of the
    trusted proxies, the last address in X-Forwarded-For that is no trusted
    proxy (the proxies append the address they saw; what the client itself
    wrote there comes before and is never believed). A peer without an
    address (a unix socket) is the proxy when "unix" is trusted."""
    peer = environ.get("REMOTE_ADDR", "")
    networks = [network for network in trusted_proxies if network != "unix"]
    unix = len(networks) != len(trusted_proxies)

    def trusted(text):
        try:
            address = ipaddress.ip_address(text)
        except ValueError:
            return unix and not text  # only the peer's can be no address here
        return any(address in network for network in networks)

    if not trusted(peer):
        return peer
    forwarded = [item.strip() for item in environ.get("HTTP_X_FORWARDED_FOR", "").split(",")]
    for item in reversed(forwarded):
        try:
            ipaddress.ip_address(item)
        except ValueError:
            return peer  # a list the proxy did not write: nothing in it counts
        if not trusted(item):
            return item
    return peer


class Store:
    """The reports of one SQLite file, with the flood limit: a client may
    post `limit` times within `window` seconds, all clients together store
    `store_limit` new reports within it; the newest `malformed_kept`
    malformed bodies are kept; reports older than `keep_days` days (0: none)
    are removed. symbols: a SymbolFolder whose builds alone the summary
    shows, or None."""

    def __init__(self, path, limit=DEFAULT_LIMIT, window=DEFAULT_WINDOW_S,
                 malformed_kept=DEFAULT_MALFORMED_KEPT, store_limit=DEFAULT_STORE_LIMIT,
                 password_tries=DEFAULT_PASSWORD_TRIES, keep_days=0, symbols=None):
        self.path, self.limit, self.window = path, limit, window
        self.malformed_kept = malformed_kept
        self.store_limit, self.password_tries = store_limit, password_tries
        self.keep_days, self.symbols = keep_days, symbols
        self._purged = None
        open_store(path)

    def post(self, client, body, now):
        """Counts the post and keeps the report: "stored" (a new row),
        "counted" (the same body from this client within the window: its
        row's repeats), "limited" (the client is over its limit) or "full"
        (all clients together are over theirs): nothing kept for these two."""
        report = parse_report(body)
        received = _timestamp(now)
        second = int(now)
        key = client_key(client)
        with transaction(self.path) as connection:
            outcome = self._post(connection, report, client, key, body, received, second)
        try:
            self._purge_old(now)
        except sqlite3.Error as error:  # the report is stored all the same
            print("vreport: old reports not removed: %s" % cause(error), file=sys.stderr)
        return outcome

    def _post(self, connection, report, client, key, body, received, second):
        start = second - self.window
        connection.execute("DELETE FROM clients WHERE since <= ?", (start,))
        row = connection.execute("SELECT posts FROM clients WHERE client = ?",
                                 (key,)).fetchone()
        if row is None:
            connection.execute("INSERT INTO clients (client, since, posts) VALUES (?, ?, 1)",
                               (key, second))
        elif row[0] >= self.limit:
            return "limited"
        else:
            connection.execute("UPDATE clients SET posts = posts + 1 WHERE client = ?", (key,))
        exception, address, build = report if report else (None, None, None)
        same = connection.execute(
            "SELECT id FROM reports WHERE client = ? AND received > ? AND body = ?"
            " ORDER BY id DESC LIMIT 1", (client, _timestamp(start), body)).fetchone()
        if same:
            connection.execute("UPDATE reports SET repeats = repeats + 1 WHERE id = ?", same)
            outcome = "counted"
        else:
            if report and not self._within_store_limit(connection, second):
                return "full"
            connection.execute(
                "INSERT INTO reports (received, client, malformed, exception, address, build, body)"
                " VALUES (?, ?, ?, ?, ?, ?, ?)",
                (received, client, 0 if report else 1, exception, address, build, body))
            outcome = "stored"
        if report:
            connection.execute(
                "INSERT INTO daily (day, exception, address, build, reports, first, last)"
                " VALUES (?, ?, ?, ?, 1, ?, ?) ON CONFLICT (day, exception, address, build)"
                " DO UPDATE SET reports = reports + 1, last = excluded.last",
                (received[:10], exception, address, build, received, received))
        elif outcome == "stored":
            connection.execute(
                "DELETE FROM reports WHERE malformed = 1 AND id <= (SELECT id FROM reports"
                " WHERE malformed = 1 ORDER BY id DESC LIMIT 1 OFFSET ?)",
                (self.malformed_kept,))
        return outcome

    def _within_store_limit(self, connection, second):
        """Counts a new well-formed report in the window of all clients, or
        says that it is full (malformed bodies are bounded by their own
        count)."""
        row = connection.execute("SELECT posts FROM clients WHERE client = ?",
                                 (ALL_CLIENTS,)).fetchone()
        if row is None:
            connection.execute("INSERT INTO clients (client, since, posts) VALUES (?, ?, 1)",
                               (ALL_CLIENTS, second))
            return True
        if row[0] >= self.store_limit:
            return False
        connection.execute("UPDATE clients SET posts = posts + 1 WHERE client = ?",
                           (ALL_CLIENTS,))
        return True

    def _purge_old(self, now, every_s=600, rounds=5, batch=2000):
        """Removes reports older than keep_days, a few batches at a time and
        at most every ten minutes, so that no post waits long for it."""
        if not self.keep_days or (self._purged is not None and now - self._purged < every_s):
            return
        self._purged = now
        cutoff = _timestamp(now - self.keep_days * 86400)
        for _ in range(rounds):
            with transaction(self.path) as connection:
                connection.execute("DELETE FROM daily WHERE day < ?", (cutoff[:10],))
                removed = connection.execute(
                    "DELETE FROM reports WHERE id IN (SELECT id FROM reports ORDER BY id"
                    " LIMIT ?) AND received < ?", (batch, cutoff)).rowcount
            if removed < batch:
                return
        self._purged = None  # more to remove: go on with the next post

    def retry_after(self, client, now):
        """Seconds until the client's window ends (for a 429's Retry-After)."""
        return self._window_left(client_key(client), now)

    def store_retry_after(self, now):
        """Seconds until the window of all clients ends (for a 503)."""
        return self._window_left(ALL_CLIENTS, now)

    def _client_row(self, key):
        """(since, posts) of a key of the clients table, or None."""
        connection = connect(self.path)
        try:
            return connection.execute("SELECT since, posts FROM clients WHERE client = ?",
                                      (key,)).fetchone()
        finally:
            connection.close()

    def _window_left(self, key, now):
        row = self._client_row(key)
        return max(1, (row[0] + self.window - int(now)) if row else self.window)

    def password_blocked(self, client, now):
        """Seconds the client must wait before it may try a password again,
        or 0. Only the client that gave the wrong ones waits: nobody else can
        shut the operator out."""
        row = self._client_row(PASSWORD_KEY + client_key(client))
        if row is None or row[1] < self.password_tries or row[0] <= int(now) - self.window:
            return 0
        return max(1, row[0] + self.window - int(now))

    def password_failed(self, client, now):
        key = PASSWORD_KEY + client_key(client)
        second = int(now)
        with transaction(self.path) as connection:
            connection.execute("DELETE FROM clients WHERE client = ? AND since <= ?",
                               (key, second - self.window))
            connection.execute(
                "INSERT INTO clients (client, since, posts) VALUES (?, ?, 1)"
                " ON CONFLICT (client) DO UPDATE SET posts = posts + 1", (key, second))

    def _real_builds(self):
        """The condition on daily's build for the builds the summary shows,
        and its parameters."""
        if self.symbols is None:
            return REAL_BUILD_SQL, ()
        return (REAL_BUILD_SQL + " AND build IN (SELECT value FROM json_each(?))",
                (json.dumps(sorted(self.symbols.builds())),))

    def summary(self, days, build, now):
        """The figures of the last `days` days up to today (UTC), of one build
        or of all: a dict as /reports.json shows it. Its size is bounded
        whatever is stored: at most SUMMARY_GROUPS groups and SUMMARY_BUILDS
        builds (the others summed), per-day counts for the days that have
        reports only; later days (a clock that ran ahead) wait for their day."""
        today = datetime.datetime.fromtimestamp(int(now), datetime.timezone.utc).date()
        first_day = (today - datetime.timedelta(days=days - 1)).isoformat()
        real, real_parameters = self._real_builds()
        period = "day >= ? AND day <= ?"
        where = period + " AND " + real + (" AND build = ?" if build else "")
        parameters = (first_day, today.isoformat()) + real_parameters + \
            ((build,) if build else ())
        # One snapshot for every figure.
        with transaction(self.path, "BEGIN") as connection:
            figures = self._figures(connection, where, parameters)
            aside = connection.execute(
                "SELECT COALESCE(SUM(reports), 0), COUNT(DISTINCT build) FROM daily WHERE "
                + period + " AND NOT (" + real + ")",
                (first_day, today.isoformat()) + real_parameters).fetchone()
            malformed_count, = connection.execute(
                "SELECT COUNT(*) FROM reports WHERE malformed = 1").fetchone()
            malformed = connection.execute(
                "SELECT received, client, substr(body, 1, ?), length(body), repeats FROM reports"
                " WHERE malformed = 1 ORDER BY id DESC LIMIT ?",
                (SUMMARY_BODY, SUMMARY_MALFORMED)).fetchall()
        figures.update({
            "period": {"days": days, "first": first_day, "last": today.isoformat()},
            "build": build,
            "kept_aside": {"reports": aside[0], "builds": aside[1]},
            "malformed_kept": malformed_count,
            "malformed_limit": self.malformed_kept,
            "malformed": [{"received": r, "client": c, "body": body.decode("latin-1"),
                           "length": n, "repeats": again}
                          for r, c, body, n, again in malformed],
        })
        return figures

    def _figures(self, connection, where, parameters):
        """Groups, builds and days of the daily rows that match `where`."""
        # The period's groups, grouped once: SQLite keeps them (on disk if
        # need be), only the top ones come into memory.
        connection.execute(
            "CREATE TEMP TABLE period_groups AS SELECT exception, address, build,"
            " SUM(reports) AS n, MAX(last) AS l FROM daily WHERE " + where +
            " GROUP BY exception, address, build", parameters)
        try:
            total, group_count = connection.execute(
                "SELECT COALESCE(SUM(n), 0), COUNT(*) FROM period_groups").fetchone()
            groups = connection.execute(
                "SELECT exception, address, build, n FROM period_groups ORDER BY n DESC, l DESC"
                " LIMIT ?", (SUMMARY_GROUPS,)).fetchall()
            builds = connection.execute(
                "SELECT build, SUM(n), COUNT(*) FROM period_groups GROUP BY build"
                " ORDER BY build DESC").fetchall()
        finally:
            connection.execute("DROP TABLE temp.period_groups")
        shown, older = builds[:SUMMARY_BUILDS], builds[SUMMARY_BUILDS:]
        seen = {b: (f, l) for b, f, l in connection.execute(
            "SELECT build, MIN(first), MAX(last) FROM daily WHERE build IN (SELECT value FROM"
            " json_each(?)) GROUP BY build", (json.dumps([row[0] for row in shown]),))}
        # Per day and shown build, the older builds as one: what the chart
        # draws, no more rows than days with reports times shown builds.
        oldest = shown[-1][0] if shown else ""
        cells = connection.execute(
            "SELECT day, CASE WHEN build >= ? THEN build ELSE '' END, SUM(reports) FROM daily"
            " WHERE " + where + " GROUP BY 1, 2 ORDER BY 1", (oldest,) + parameters).fetchall()
        day_list = sorted({day for day, _, _ in cells})
        index = {day: i for i, day in enumerate(day_list)}
        build_daily = {}
        for day, cell_build, count in cells:
            build_daily.setdefault(cell_build, [0] * len(day_list))[index[day]] += count
        daily_total = [sum(counts) for counts in zip(*build_daily.values())]
        share = (lambda n: n / total) if total else (lambda n: 0.0)  # noqa: E731
        group_rows = []
        for exception, address, group_build, count in groups:
            counts = [0] * len(day_list)
            first = last = None
            for day, reports, seen_first, seen_last in connection.execute(
                    "SELECT day, reports, first, last FROM daily WHERE exception = ? AND"
                    " address = ? AND build = ?", (exception, address, group_build)):
                first = seen_first if first is None or seen_first < first else first
                last = seen_last if last is None or seen_last > last else last
                if day in index:
                    counts[index[day]] += reports
            group_rows.append({"exception": exception, "address": address,
                               "build": group_build, "reports": count, "share": share(count),
                               "first": first, "last": last, "daily": counts})
        return {
            "days": day_list,
            "reports": total,
            "group_count": group_count,
            "daily": daily_total,
            "builds": [{"build": b, "reports": n, "share": share(n), "groups": g,
                        "first": seen[b][0], "last": seen[b][1], "daily": build_daily[b]}
                       for b, n, g in shown],
            "other_builds": {"builds": len(older), "reports": sum(row[1] for row in older),
                             "groups": sum(row[2] for row in older),
                             "daily": build_daily.get("", [0] * len(day_list))},
            "groups": group_rows,
            "other_groups": {"groups": group_count - len(group_rows),
                             "reports": total - sum(row["reports"] for row in group_rows)},
        }


def _shown(text):
    """Stored text for the page: control and non-ASCII characters as \\xNN,
    then HTML-escaped."""
    if isinstance(text, bytes):
        text = text.decode("latin-1")
    text = "".join(c if " " <= c <= "~" else "\\x%02x" % ord(c) for c in str(text))
    return html.escape(text, quote=True)


# Colours of the builds in the chart, newest build first; older builds
# beyond these share the last one.
_PALETTE = ["#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2",
            "#7f7f7f"]


def _nice_ceiling(value):
    """The smallest of 1, 2, 5 times a power of ten that is at least value."""
    step = 1
    while True:
        for factor in (1, 2, 5):
            if step * factor >= value:
                return step * factor
        step *= 10


def _chart_series(summary):
    """The chart's stacks: the newest builds, each in its colour, and the
    older ones together in the last colour."""
    builds = summary["builds"]
    own = len(_PALETTE) - 1
    if len(builds) <= len(_PALETTE) and not summary["other_builds"]["builds"]:
        return [(b["build"], b["daily"]) for b in builds]
    older = [b["daily"] for b in builds[own:]] + [summary["other_builds"]["daily"]]
    return [(b["build"], b["daily"]) for b in builds[:own]] + \
        [("older", [sum(counts) for counts in zip(*older)])]


def _chart(summary, width=1100, height=200):
    """Reports per day (the days that have any), stacked by build, as
    inline SVG."""
    days = summary["days"]
    series = _chart_series(summary)
    left, right, top, bottom = 50, 10, 10, 40
    plot_w, plot_h = width - left - right, height - top - bottom
    peak = _nice_ceiling(max(summary["daily"] + [1]))
    slot = plot_w / max(len(days), 1)
    out = ['<svg class="chart" xmlns="http://www.w3.org/2000/svg" width="%d" height="%d"'
           ' role="img" aria-label="Reports per day by build">' % (width, height)]
    for i in range(5):
        value = peak * i // 4
        y = top + plot_h - plot_h * i / 4
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>'
                   '<text x="%d" y="%.1f" text-anchor="end" font-size="11">%d</text>'
                   % (left, left + plot_w, y, y, left - 4, y + 4, value))
    base = [0] * len(days)
    for position, (name, daily) in enumerate(series):
        for i, count in enumerate(daily):
            if not count:
                continue
            y0 = top + plot_h - plot_h * base[i] / peak
            bar = plot_h * count / peak
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="%s">'
                       '<title>%s build %s: %d</title></rect>'
                       % (left + i * slot + slot * 0.1, y0 - bar, max(slot * 0.8, 1), bar,
                          _PALETTE[position], days[i], _shown(name), count))
            base[i] += count
    step = max(1, round(len(days) / 8))
    for i in range(len(days) - 1, -1, -step):
        out.append('<text x="%.1f" y="%d" text-anchor="middle" font-size="11">%s</text>'
                   % (left + (i + 0.5) * slot, top + plot_h + 16, days[i][5:]))
    out.append('<line x1="%d" x2="%d" y1="%d" y2="%d" stroke="#333"/>'
               % (left, left + plot_w, top + plot_h, top + plot_h))
    for position, (name, _) in enumerate(series):
        x = left + position * 90
        out.append('<rect x="%d" y="%d" width="10" height="10" fill="%s"/>'
                   '<text x="%d" y="%d" font-size="11">build %s</text>'
                   % (x, height - 12, _PALETTE[position], x + 14, height - 3, _shown(name)))
    out.append("</svg>")
    return "".join(out)


def _sparkline(counts, width=120, height=22):
    peak = max(counts) or 1
    step = width / max(len(counts) - 1, 1)
    points = " ".join("%.1f,%.1f" % (i * step, height - 1 - (height - 2) * c / peak)
                      for i, c in enumerate(counts))
    return ('<svg class="spark" xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">'
            '<polyline fill="none" stroke="#1f77b4" stroke-width="1.5" points="%s"/></svg>'
            % (width, height, points))


def _link(days, build):
    query = {"days": days}
    if build:
        query["build"] = build
    return "/reports?" + urllib.parse.urlencode(query)


def _when(timestamp):
    """A stored time as the page shows it: "2026-11-30 14:05"."""
    return _shown(timestamp[:16].replace("T", " "))


def _signature_table(summary):
    """The signatures, each a row, with the places it was seen beneath:
    function and offset, address, build. A signature that no symbol file
    names is one group, shown as before: exception, address, build. The
    groups past the page's bound are summed in a last row."""
    signatures = summary.get("signatures")
    if signatures is None:
        signatures = symbol_files.signatures(summary["groups"], {})
    out = ['<table>\n<tr><th>Exception</th><th>Function or address</th><th>Builds</th>'
           '<th>Reports</th><th>Share</th><th>First seen</th><th>Last seen</th>'
           '<th>Per day</th></tr>\n']
    for rank, row in enumerate(signatures):
        out.append("<tr><td>%s</td><td>%s</td><td>%s</td><td>%d</td><td class=\"n\">%.1f%%</td>"
                   "<td>%s</td><td>%s</td><td>%s</td></tr>\n"
                   % (_shown(row["exception"]), _shown(row["function"] or row["address"]),
                      ", ".join(_shown(b) for b in row["builds"]), row["reports"],
                      100 * row["share"], _when(row["first"]), _when(row["last"]),
                      _sparkline(row["daily"]) if rank < SUMMARY_SPARKLINES else ""))
        if row["function"] is None:
            continue
        for group in row["groups"]:
            out.append('<tr class="at"><td></td><td>%s at %s</td><td>%s</td><td>%d</td>'
                       '<td class="n">%.1f%%</td><td>%s</td><td>%s</td><td></td></tr>\n'
                       % (_shown(symbol_files.where(group)), _shown(group["address"]),
                          _shown(group["build"]), group["reports"], 100 * group["share"],
                          _when(group["first"]), _when(group["last"])))
    others = summary["other_groups"]
    if others["groups"]:
        out.append('<tr><td colspan="3">%d other groups</td><td>%d</td><td class="n">%.1f%%'
                   '</td><td colspan="3"></td></tr>\n' % (
                       others["groups"], others["reports"],
                       100 * others["reports"] / (summary["reports"] or 1)))
    out.append("</table>\n")
    if summary.get("symbol_builds"):
        out.append("<p>Symbol files for builds %s.</p>\n"
                   % ", ".join(_shown(b) for b in summary["symbol_builds"]))
    return "".join(out)


def add_signatures(summary, folder, log=None):
    """Names the summary's groups from the symbol files of folder (a
    symbol_files.SymbolFolder, or None) and gathers them into signatures.
    At view time, so that a symbol file copied in later names the reports
    that came before it."""
    tables = folder.tables(log) if folder else {}
    summary["signatures"] = symbol_files.signatures(summary["groups"], tables)
    summary["symbol_builds"] = sorted(tables, key=lambda b: (len(b), b), reverse=True)
    return summary


def summary_page(summary):
    period = summary["period"]
    days = period["days"]
    build = summary["build"]
    scope = " of build %s" % _shown(build) if build else ""
    out = ['<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>Crash reports</title>'
           '<style>body{font-family:sans-serif;margin:12px 24px}h1{font-size:22px}'
           'h2{font-size:17px;margin:14px 0 6px}table{border-collapse:collapse}'
           'td,th{border:1px solid #bbb;padding:1px 8px;text-align:left}'
           'td.n{text-align:right}nav a{margin-right:10px}tr.at td{color:#555;white-space:nowrap;'
           'font-size:13px}tr.at td:nth-child(2){padding-left:20px}</style></head><body>\n'
           '<h1>Crash reports%s: the last %d days</h1>\n' % (scope, days),
           '<nav>%d reports in %d groups, %s to %s. Period: %s%s</nav>\n' % (
               summary["reports"], summary["group_count"], period["first"], period["last"],
               " ".join('<a href="%s">%d days</a>' % (html.escape(_link(n, build)), n)
                        for n in (7, 30, 90, 365)),
               ' <a href="%s">all builds</a>' % html.escape(_link(days, None)) if build else ""),
           '<h2>Reports per day</h2>\n', _chart(summary), "\n",
           '<h2>Signatures by reports</h2>\n', _signature_table(summary)]
    out.append('<h2>Builds</h2>\n<table>\n<tr><th>Build</th><th>Reports</th>'
               '<th>Share</th><th>Groups</th><th>First seen</th><th>Last seen</th></tr>\n')
    for row in summary["builds"]:
        out.append('<tr><td><a href="%s">%s</a></td><td class="n">%d</td><td class="n">%.1f%%'
                   '</td><td class="n">%d</td><td>%s</td><td>%s</td></tr>\n'
                   % (html.escape(_link(days, row["build"])), _shown(row["build"]),
                      row["reports"], 100 * row["share"], row["groups"], _when(row["first"]),
                      _when(row["last"])))
    others = summary["other_builds"]
    if others["builds"]:
        out.append('<tr><td>%d older builds</td><td class="n">%d</td><td class="n">%.1f%%</td>'
                   '<td class="n">%d</td><td colspan="2"></td></tr>\n' % (
                       others["builds"], others["reports"],
                       100 * others["reports"] / (summary["reports"] or 1), others["groups"]))
    aside = summary["kept_aside"]
    out.append("</table>\n<p>Not shown: %d reports of %d builds that are no real builds"
               " (not three digits, or without a symbol file).</p>\n" % (
                   aside["reports"], aside["builds"]))
    out.append("<h2>Malformed reports: %d</h2>\n<p>Only the newest %d are kept, with the"
               " reports of builds that are no real builds. The latest:</p>\n<table>\n"
               "<tr><th>Received</th><th>Client</th><th>Body</th><th>Bytes</th><th>Again</th>"
               "</tr>\n" % (summary["malformed_kept"], summary["malformed_limit"]))
    for row in summary["malformed"]:
        out.append("<tr>" + "".join("<td>%s</td>" % _shown(row[k])
                                    for k in ("received", "client", "body")) +
                   '<td class="n">%d</td><td class="n">%d</td></tr>\n'
                   % (row["length"], row["repeats"]))
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


def _summary_query(environ):
    """(days, build) from the query string, or None when it is not usable."""
    try:
        query = dict(urllib.parse.parse_qsl(environ.get("QUERY_STRING", ""),
                                            strict_parsing=False, errors="strict"))
    except (UnicodeDecodeError, ValueError):
        return None
    days = query.get("days", str(DEFAULT_DAYS))
    build = query.get("build") or None
    if not (days.isascii() and days.isdigit() and len(days) <= 4
            and 1 <= int(days) <= MAX_DAYS):
        return None
    if build is not None and not re.fullmatch(r"[0-9]{3}", build, re.ASCII):
        return None
    return int(days), build


# Sent with every answer: the summary runs no script and is never framed.
SECURITY_HEADERS = [
    ("Content-Security-Policy",
     "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'; base-uri 'none';"
     " form-action 'none'"),
    ("X-Content-Type-Options", "nosniff"),
    ("X-Frame-Options", "DENY"),
    ("Referrer-Policy", "no-referrer"),
]


def make_app(db_path, password, limit=DEFAULT_LIMIT, window=DEFAULT_WINDOW_S,
             malformed_kept=DEFAULT_MALFORMED_KEPT, trusted_proxies=(), clock=time.time,
             store_limit=DEFAULT_STORE_LIMIT, password_tries=DEFAULT_PASSWORD_TRIES,
             keep_days=0, symbols=None, symbol_folder=None):
    """The WSGI application. password: the summary's password; None or empty
    switches the summary off. trusted_proxies: networks (ipaddress), and
    "unix" for the proxy in front of a unix socket, whose X-Forwarded-For is
    believed. symbols: a symbol_files.SymbolFolder, when only its builds are
    shown. symbol_folder: the one whose files name the functions, or None.
    clock: the time now, as Unix time."""
    if isinstance(symbol_folder, str):
        symbol_folder = symbol_files.SymbolFolder(symbol_folder)
    store = Store(db_path, limit, window, malformed_kept, store_limit, password_tries,
                  keep_days, symbols)
    trusted_proxies = list(trusted_proxies)

    def app(environ, start_response):
        def answer(status, body, content_type="text/plain", extra=()):
            start_response(status, [("Content-Type", content_type),
                                    ("Content-Length", str(len(body)))] +
                           SECURITY_HEADERS + list(extra))
            return [body]

        def log(text):
            print("vreport: %s" % text, file=environ["wsgi.errors"])

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
            client = client_address(environ, trusted_proxies)
            if not client:
                log("report not stored: the peer has no address (a unix socket) and no"
                    " trusted proxy names the client: set VREPORT_TRUSTED_PROXIES=unix")
                return answer("503 Service Unavailable", b"not stored")
            now = clock()
            try:
                outcome = store.post(client, body, now)
                if outcome == "limited":
                    return answer("429 Too Many Requests", b"too many reports",
                                  extra=[("Retry-After", str(store.retry_after(client, now)))])
                if outcome == "full":
                    log("report not stored: %d new reports within the window from all clients"
                        " (VREPORT_STORE_LIMIT)" % store.store_limit)
                    return answer("503 Service Unavailable", b"not stored",
                                  extra=[("Retry-After", str(store.store_retry_after(now)))])
            except (sqlite3.Error, MemoryError) as error:
                # Not kept, so not acknowledged: the setup program tries again.
                log("report not stored: %s" % cause(error))
                return answer("503 Service Unavailable", b"not stored")
            return answer("200 OK", b"OK")
        if path in ("/reports", "/reports.json"):
            if method != "GET":
                return answer("405 Method Not Allowed", b"GET only", extra=[("Allow", "GET")])
            if not password:
                return answer("403 Forbidden", b"no summary password configured")
            client = client_address(environ, trusted_proxies)
            now = clock()
            try:
                return summary_view(environ, answer, store, password, client, now,
                                    path == "/reports.json", symbol_folder)
            except Exception as error:  # MemoryError too: this request fails, no other
                log("%s failed: %s" % (path, cause(error)))
                return answer("500 Internal Server Error", b"summary failed")
        return answer("404 Not Found", b"not found")

    return app


def summary_view(environ, answer, store, password, client, now, as_json, symbol_folder=None):
    """/reports or /reports.json behind the password, which a client may get
    wrong password_tries times within the window before it has to wait."""
    wait = store.password_blocked(client, now)
    if wait:
        return answer("429 Too Many Requests", b"too many wrong passwords: wait",
                      extra=[("Retry-After", str(wait))])
    if not _password_matches(environ, password):
        if environ.get("HTTP_AUTHORIZATION"):
            store.password_failed(client, now)
        return answer("401 Unauthorized", b"password required",
                      extra=[("WWW-Authenticate", 'Basic realm="crash reports"')])
    query = _summary_query(environ)
    if query is None:
        return answer("400 Bad Request", b"days: 1 to %d; build: its digits" % MAX_DAYS)
    summary = add_signatures(store.summary(query[0], query[1], now), symbol_folder,
                             environ.get("wsgi.errors"))
    if as_json:
        return answer("200 OK", json.dumps(summary, indent=1).encode("utf-8"),
                      "application/json", extra=[("Cache-Control", "no-store")])
    return answer("200 OK", summary_page(summary), "text/html; charset=utf-8",
                  extra=[("Cache-Control", "no-store")])


class ConfigurationError(ValueError):
    """A setting the server cannot start with; the message names it."""


def read_password(password_file=None, password=None):
    """The summary password from a file's first line, else the given text."""
    if password_file:
        try:
            with open(password_file, encoding="utf-8") as f:
                password = f.readline()
        except (OSError, UnicodeDecodeError) as error:
            raise ConfigurationError("VREPORT_PASSWORD_FILE: cannot read %s: %s"
                                     % (password_file, error)) from None
        if not password.strip():
            raise ConfigurationError("VREPORT_PASSWORD_FILE: %s has no password on its first"
                                     " line" % password_file)
    password = (password or "").strip()
    return password or None


def _number(environ, name, default, least, kind=int):
    text = environ.get(name) or ""
    if not text.strip():
        return default
    try:
        value = kind(text.strip())
    except ValueError:
        raise ConfigurationError("%s: %r is not a number" % (name, text)) from None
    if not value >= least:  # also refuses NaN
        raise ConfigurationError("%s must be at least %s, not %r" % (name, least, text))
    return value


def parse_trusted(text):
    """VREPORT_TRUSTED_PROXIES: networks, and "unix" for the proxy in front
    of a unix socket."""
    items = [item.strip() for item in (text or "").split(",") if item.strip()]
    try:
        return [item if item == "unix" else ipaddress.ip_network(item, strict=False)
                for item in items]
    except ValueError as error:
        raise ConfigurationError("VREPORT_TRUSTED_PROXIES: %s (addresses or networks,"
                                 " comma-separated, or unix)" % error) from None


def settings_from_environment(environ=os.environ):
    """make_app's settings from the environment (all but the database and
    the password)."""
    symbols = None
    require = environ.get("VREPORT_REQUIRE_SYMBOLS", "").strip()
    if require not in ("", "0", "1"):
        raise ConfigurationError("VREPORT_REQUIRE_SYMBOLS: 0 or 1, not %r" % require)
    folder = environ.get("VREPORT_SYMBOLS", "").strip()
    if require == "1" and not folder:
        raise ConfigurationError("VREPORT_REQUIRE_SYMBOLS=1 needs VREPORT_SYMBOLS, the"
                                 " folder of the symbol files")
    symbol_folder = None
    if folder:
        try:
            symbol_folder = symbol_files.SymbolFolder(folder)
        except (OSError, ValueError) as error:
            raise ConfigurationError("VREPORT_SYMBOLS: cannot read %s: %s"
                                     % (folder, error)) from None
    if require == "1":
        symbols = symbol_folder
    return {"limit": _number(environ, "VREPORT_LIMIT", DEFAULT_LIMIT, 1),
            "window": _number(environ, "VREPORT_WINDOW", DEFAULT_WINDOW_S, 1),
            "malformed_kept": _number(environ, "VREPORT_MALFORMED_KEPT",
                                      DEFAULT_MALFORMED_KEPT, 0),
            "store_limit": _number(environ, "VREPORT_STORE_LIMIT", DEFAULT_STORE_LIMIT, 1),
            "password_tries": _number(environ, "VREPORT_PASSWORD_TRIES",
                                      DEFAULT_PASSWORD_TRIES, 1),
            "keep_days": _number(environ, "VREPORT_KEEP_DAYS", 0, 0),
            "trusted_proxies": parse_trusted(environ.get("VREPORT_TRUSTED_PROXIES")),
            "symbols": symbols,
            "symbol_folder": symbol_folder}


def listens_on_unix_socket():
    """The path of a unix socket this process listens on (a WSGI server's,
    inherited by its workers), or None. Linux only; elsewhere None."""
    try:
        descriptors = os.listdir("/proc/self/fd")
    except OSError:
        return None
    for name in descriptors:
        try:
            probe = socket.socket(fileno=int(name))
        except (OSError, ValueError):
            continue
        try:
            if probe.family == socket.AF_UNIX and \
                    probe.getsockopt(socket.SOL_SOCKET, socket.SO_ACCEPTCONN):
                return probe.getsockname() or "(unnamed)"
        except OSError:
            pass
        finally:
            probe.detach()
    return None


def configured_app(environ=os.environ, db_path=None, password_file=None, clock=time.time):
    """The application as the settings describe it, every setting checked
    first: a ConfigurationError names the one that is wrong."""
    db_path = db_path or environ.get("VREPORT_DB")
    if not db_path:
        raise ConfigurationError("VREPORT_DB is not set: the SQLite file of the reports")
    password = read_password(password_file or environ.get("VREPORT_PASSWORD_FILE"),
                             environ.get("VREPORT_PASSWORD"))
    settings = settings_from_environment(environ)
    unix = listens_on_unix_socket()
    if unix and "unix" not in settings["trusted_proxies"]:
        raise ConfigurationError(
            "listening on the unix socket %s, where no client has an address: put the proxy"
            " in front of it and set VREPORT_TRUSTED_PROXIES=unix, so that its"
            " X-Forwarded-For names the client" % unix)
    try:
        return make_app(db_path, password, clock=clock, **settings)
    except (sqlite3.Error, OSError) as error:
        raise ConfigurationError("VREPORT_DB: cannot use %s: %s"
                                 % (db_path, cause(error))) from None


_application = None
_application_lock = threading.Lock()


def application(environ, start_response):
    """Entry point for a WSGI server, configured from the environment."""
    global _application
    with _application_lock:
        if _application is None:
            _application = configured_app()
    return _application(environ, start_response)


def _cut(text, keep=200):
    """A logged text cut short: a request line can be 8 KB long."""
    text = str(text)
    return text if len(text) <= keep else text[:keep] + "...(%d characters)" % len(text)


class _ServerHandler(simple_server.ServerHandler):
    server_software = "vreport"  # no Python version in Server


class _Handler(simple_server.WSGIRequestHandler):
    """Runs the application on a request that IntakeServer has read whole:
    request is (socket, the bytes read)."""
    quiet = False

    def setup(self):
        self.connection, data = self.request
        self.rfile = io.BytesIO(data)
        self.wfile = socketserver._SocketWriter(self.connection)

    def version_string(self):
        return "vreport"

    def handle(self):
        self.raw_requestline = self.rfile.readline(MAX_HEAD + 1)
        if not self.parse_request():  # answered already
            return
        handler = _ServerHandler(self.rfile, self.wfile, self.get_stderr(), self.get_environ(),
                                 multithread=True)
        handler.request_handler = self
        handler.run(self.server.get_app())

    def log_message(self, format, *args):
        if not self.quiet:
            super().log_message(format, *(_cut(arg) for arg in args))


class _Pending:
    """A connection whose request is still coming in."""
    __slots__ = ("address", "client", "deadline", "data", "need")

    def __init__(self, address, client, deadline):
        self.address, self.client, self.deadline = address, client, deadline
        self.data, self.need = bytearray(), None


def _content_length(head):
    """The body length a head announces when it is one the application
    reads (at most MAX_BODY), else None: then nothing more is waited for."""
    for line in head.split(b"\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            value = value.strip()
            if value.isdigit() and len(value) <= MAX_LENGTH_DIGITS and int(value) <= MAX_BODY:
                return int(value)
            return None
    return None


class IntakeServer(simple_server.WSGIServer):
    """The embedded server. One thread reads every connection's request
    (head and body) as it comes, so that a slow client costs a socket and a
    few KB, never a thread; a request must be in whole within `deadline`
    seconds (408 otherwise; a body still short then is the application's
    to refuse), its head within MAX_HEAD bytes (431). At most
    `max_connections` connections are open, `per_client` of them from one
    address; more are closed at once. A fixed pool of `threads` threads
    runs the application on the requests read: an exception in it fails
    that request only."""
    request_queue_size = 128

    def __init__(self, address, handler, deadline=DEFAULT_DEADLINE_S,
                 max_connections=DEFAULT_MAX_CONNECTIONS,
                 per_client=DEFAULT_MAX_CONNECTIONS_PER_CLIENT, threads=DEFAULT_THREADS):
        super().__init__(address, handler)
        self.deadline, self.max_connections, self.per_client = deadline, max_connections, \
            per_client
        self._open = 0
        self._per_client = {}
        self._lock = threading.Lock()
        self._requests = queue.Queue()
        self._workers = [threading.Thread(target=self._work, daemon=True, name="vreport-%d" % i)
                         for i in range(threads)]
        for worker in self._workers:
            worker.start()

    # The reader: BaseServer's loop, with every open connection in it.
    def serve_forever(self, poll_interval=0.5):
        self._BaseServer__is_shut_down.clear()
        pending = {}
        expired = time.monotonic()
        try:
            with selectors.DefaultSelector() as selector:
                self.socket.setblocking(False)
                selector.register(self.socket, selectors.EVENT_READ)
                while not self._BaseServer__shutdown_request:
                    for key, _ in selector.select(min(poll_interval, 0.25)):
                        try:
                            if key.fileobj is self.socket:
                                self._accept(selector, pending)
                            else:
                                self._read(selector, pending, key.fileobj)
                        except Exception:  # noqa: BLE001 (MemoryError too)
                            if key.fileobj is not self.socket:
                                self._drop(selector, pending, key.fileobj)
                    if time.monotonic() - expired >= 0.1:  # not for every event
                        self._expire(selector, pending)
                        expired = time.monotonic()
                for connection in list(pending):
                    self._drop(selector, pending, connection)
        finally:
            self._BaseServer__shutdown_request = False
            self._BaseServer__is_shut_down.set()

    def _accept(self, selector, pending):
        for _ in range(64):
            try:
                connection, address = self.socket.accept()
            except (BlockingIOError, InterruptedError):
                return
            except OSError:  # out of descriptors, or the peer gave up
                return
            client = address[0] if isinstance(address, tuple) else ""
            with self._lock:
                refused = self._open >= self.max_connections or \
                    self._per_client.get(client, 0) >= self.per_client
                if not refused:
                    self._open += 1
                    self._per_client[client] = self._per_client.get(client, 0) + 1
            if refused:
                connection.close()
                continue
            connection.setblocking(False)
            pending[connection] = _Pending(address, client, time.monotonic() + self.deadline)
            selector.register(connection, selectors.EVENT_READ)

    def _read(self, selector, pending, connection):
        request = pending[connection]
        try:
            data = connection.recv(16384)
        except (BlockingIOError, InterruptedError):
            return
        except OSError:
            data = b""
        if not data:  # the client went away
            self._drop(selector, pending, connection)
            return
        request.data += data
        if request.need is None:
            end = request.data.find(b"\r\n\r\n")
            size = end + 4
            if end < 0:
                end = request.data.find(b"\n\n")
                size = end + 2
            if end < 0:
                if len(request.data) > MAX_HEAD:
                    self._refuse(selector, pending, connection, "431 Request Header Fields"
                                 " Too Large")
                return
            if size > MAX_HEAD:
                self._refuse(selector, pending, connection, "431 Request Header Fields Too Large")
                return
            length = _content_length(bytes(request.data[:size]))
            request.need = size + (length or 0)
        if len(request.data) >= request.need:
            self._dispatch(selector, pending, connection)

    def _expire(self, selector, pending):
        now = time.monotonic()
        for connection, request in list(pending.items()):
            if request.deadline <= now:
                if request.need is None:
                    self._refuse(selector, pending, connection, "408 Request Timeout")
                else:
                    self._dispatch(selector, pending, connection)

    def _dispatch(self, selector, pending, connection):
        request = pending.pop(connection)
        selector.unregister(connection)
        connection.setblocking(True)
        connection.settimeout(self.deadline)  # for the answer: a reader that never reads
        self._requests.put((connection, request))

    def _refuse(self, selector, pending, connection, status):
        try:
            connection.send(("HTTP/1.0 %s\r\nServer: vreport\r\nContent-Length: 0\r\n"
                             "Connection: close\r\n\r\n" % status).encode("ascii"))
        except OSError:
            pass
        self._drop(selector, pending, connection)

    def _drop(self, selector, pending, connection):
        request = pending.pop(connection, None)
        with contextlib.suppress(KeyError, ValueError):
            selector.unregister(connection)
        self._close(connection, request.client if request else None)

    def _close(self, connection, client):
        with contextlib.suppress(OSError):
            connection.close()
        if client is None:
            return
        with self._lock:
            self._open -= 1
            left = self._per_client.get(client, 1) - 1
            if left:
                self._per_client[client] = left
            else:
                self._per_client.pop(client, None)

    def _work(self):
        while True:
            job = self._requests.get()
            if job is None:
                return
            connection, request = job
            try:
                self.RequestHandlerClass((connection, bytes(request.data)), request.address,
                                         self)
            except Exception:  # noqa: BLE001 (MemoryError too): this request only
                with contextlib.suppress(Exception):
                    self.handle_error(connection, request.client)
            finally:
                with contextlib.suppress(OSError):
                    connection.shutdown(socket.SHUT_WR)
                self._close(connection, request.client)
            del job, connection, request

    def handle_error(self, request, client_address):
        print("vreport: a request failed:", file=sys.stderr)
        super().handle_error(request, client_address)

    def server_close(self):
        super().server_close()
        for _ in self._workers:
            self._requests.put(None)


def make_server(host, port, app, quiet=False, timeout=DEFAULT_DEADLINE_S,
                max_connections=DEFAULT_MAX_CONNECTIONS,
                per_client=DEFAULT_MAX_CONNECTIONS_PER_CLIENT, threads=DEFAULT_THREADS):
    """The embedded server on host:port. timeout: the deadline of a whole
    request, in seconds."""
    handler = type("Handler", (_Handler,), {"quiet": quiet})
    server = IntakeServer((host, port), handler, timeout, max_connections, per_client, threads)
    server.set_app(app)
    return server


def server_settings(environ=os.environ):
    """make_server's limits from VREPORT_DEADLINE, VREPORT_MAX_CONNECTIONS,
    VREPORT_MAX_CONNECTIONS_PER_CLIENT and VREPORT_THREADS."""
    return {"timeout": _number(environ, "VREPORT_DEADLINE", DEFAULT_DEADLINE_S, 0.1, float),
            "max_connections": _number(environ, "VREPORT_MAX_CONNECTIONS",
                                       DEFAULT_MAX_CONNECTIONS, 1),
            "per_client": _number(environ, "VREPORT_MAX_CONNECTIONS_PER_CLIENT",
                                  DEFAULT_MAX_CONNECTIONS_PER_CLIENT, 1),
            "threads": _number(environ, "VREPORT_THREADS", DEFAULT_THREADS, 1)}


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Crash report server (embedded). The other settings come from the "
                    "environment as under a WSGI server (VREPORT_LIMIT, VREPORT_WINDOW, ...), "
                    "and VREPORT_DEADLINE (s), VREPORT_MAX_CONNECTIONS, "
                    "VREPORT_MAX_CONNECTIONS_PER_CLIENT, VREPORT_THREADS.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--db", default=os.environ.get("VREPORT_DB"),
                        help="SQLite file (default: $VREPORT_DB)")
    parser.add_argument("--password-file", default=os.environ.get("VREPORT_PASSWORD_FILE"),
                        help="first line: the password of /reports "
                             "(default: $VREPORT_PASSWORD_FILE, else $VREPORT_PASSWORD)")
    parser.add_argument("--symbols", help="folder of the symbol files (default: "
                        "$VREPORT_SYMBOLS)")
    args = parser.parse_args(argv)
    environment = dict(os.environ)
    if args.symbols:
        environment["VREPORT_SYMBOLS"] = args.symbols
    if not args.db:
        parser.error("no SQLite file: give --db or set VREPORT_DB")
    try:
        app = configured_app(environment, args.db, args.password_file)
        server = make_server(args.host, args.port, app, **server_settings(environment))
    except ConfigurationError as error:
        parser.error(str(error))
    except OSError as error:
        parser.error("cannot listen on %s:%d: %s" % (args.host, args.port, error))
    password = read_password(args.password_file, environment.get("VREPORT_PASSWORD"))
    print("Receiving crash reports at http://%s:%d/vreport.asp into %s" %
          (args.host, server.server_address[1], args.db), file=sys.stderr)
    print("Summary: http://%s:%d/reports %s" %
          (args.host, server.server_address[1], "(any user name; password in %s)"
           % args.password_file if args.password_file and password else
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
elif "gunicorn" in sys.modules:
    # Loaded by gunicorn's workers: the settings are checked now, so that a
    # wrong one stops the start (gunicorn halts when a worker cannot boot)
    # instead of failing every request.
    _application = configured_app()
