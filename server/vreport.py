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
                            none by default: the peer is the client)
    VREPORT_SYMBOLS         folder of the builds' symbol files (*.sym, see
                            symbols.py), read again when they change; none by
                            default: addresses are shown as they came
"""
import argparse
import base64
import contextlib
import datetime
import hmac
import html
import ipaddress
import json
import os
import re
import socketserver
import sqlite3
import sys
import threading
import time
import urllib.parse
from wsgiref import simple_server

import symbols

MAX_BODY = 4096
# A length of at most 4096 needs four digits; a longer text is no honest
# length (and int() refuses texts of more than 4300 digits outright).
MAX_LENGTH_DIGITS = 10
FORM_TYPE = "application/x-www-form-urlencoded"
BUSY_TIMEOUT_S = 30.0
SUMMARY_GROUPS = 1000
SUMMARY_SPARKLINES = 20
SUMMARY_MALFORMED = 50
DEFAULT_DAYS = 30
MAX_DAYS = 3660
# A crashed setup program posts once every ten minutes: 6 an hour.
DEFAULT_LIMIT = 120
DEFAULT_WINDOW_S = 3600
DEFAULT_MALFORMED_KEPT = 1000

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
            connection.execute("ROLLBACK")
            raise
    finally:
        connection.close()


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
    wrote there comes before and is never believed)."""
    peer = environ.get("REMOTE_ADDR", "")

    def trusted(text):
        try:
            address = ipaddress.ip_address(text)
        except ValueError:
            return False
        return any(address in network for network in trusted_proxies)

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
    post `limit` times within `window` seconds; the newest `malformed_kept`
    malformed bodies are kept."""

    def __init__(self, path, limit=DEFAULT_LIMIT, window=DEFAULT_WINDOW_S,
                 malformed_kept=DEFAULT_MALFORMED_KEPT):
        self.path, self.limit, self.window = path, limit, window
        self.malformed_kept = malformed_kept
        open_store(path)

    def post(self, client, body, now):
        """Counts the post and keeps the report: "stored" (a new row),
        "counted" (the same body from this client within the window: its
        row's repeats) or "limited" (over the limit: nothing kept)."""
        report = parse_report(body)
        received = _timestamp(now)
        second = int(now)
        key = client_key(client)
        with transaction(self.path) as connection:
            return self._post(connection, report, client, key, body, received, second)

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

    def retry_after(self, client, now):
        """Seconds until the client's window ends (for a 429's Retry-After)."""
        connection = connect(self.path)
        try:
            row = connection.execute("SELECT since FROM clients WHERE client = ?",
                                     (client_key(client),)).fetchone()
        finally:
            connection.close()
        return max(1, (row[0] + self.window - int(now)) if row else self.window)

    def summary(self, days, build, now):
        """The figures of the last `days` days up to today (UTC), of one build
        or of all: a dict as /reports.json shows it."""
        today = datetime.datetime.fromtimestamp(int(now), datetime.timezone.utc).date()
        day_list = [(today - datetime.timedelta(days=days - 1 - i)).isoformat()
                    for i in range(days)]
        where = "day >= ?" + (" AND build = ?" if build else "")
        parameters = (day_list[0], build) if build else (day_list[0],)
        # One snapshot for every figure.
        with transaction(self.path, "BEGIN") as connection:
            groups = connection.execute(
                "SELECT exception, address, build, SUM(reports), COUNT(*) OVER ()"
                " FROM daily WHERE " + where + " GROUP BY exception, address, build"
                " ORDER BY 4 DESC, MAX(last) DESC LIMIT ?",
                parameters + (SUMMARY_GROUPS,)).fetchall()
            seen = {tuple(row[:3]): row[3:] for row in connection.execute(
                "SELECT exception, address, build, MIN(first), MAX(last) FROM daily"
                + (" WHERE build = ?" if build else "") + " GROUP BY exception, address, build",
                (build,) if build else ())}
            cells = connection.execute(
                "SELECT day, exception, address, build, reports FROM daily WHERE " + where,
                parameters).fetchall()
            builds = connection.execute(
                "SELECT build, SUM(n), COUNT(*) FROM (SELECT build, SUM(reports) AS n FROM daily"
                " WHERE " + where + " GROUP BY exception, address, build) GROUP BY build"
                " ORDER BY length(build) DESC, build DESC", parameters).fetchall()
            build_seen = {row[0]: row[1:] for row in connection.execute(
                "SELECT build, MIN(first), MAX(last) FROM daily"
                + (" WHERE build = ?" if build else "") + " GROUP BY build",
                (build,) if build else ())}
            malformed_count, = connection.execute(
                "SELECT COUNT(*) FROM reports WHERE malformed = 1").fetchone()
            malformed = connection.execute(
                "SELECT received, client, body, repeats FROM reports WHERE malformed = 1"
                " ORDER BY id DESC LIMIT ?", (SUMMARY_MALFORMED,)).fetchall()
        index = {day: i for i, day in enumerate(day_list)}
        group_daily = {}
        build_daily = {}
        for day, exception, address, group_build, count in cells:
            group_daily.setdefault((exception, address, group_build), [0] * days)[index[day]] \
                += count
            build_daily.setdefault(group_build, [0] * days)[index[day]] += count
        total = sum(row[1] for row in builds)
        return {
            "days": day_list,
            "build": build,
            "reports": total,
            "group_count": groups[0][4] if groups else 0,
            "daily": [sum(counts) for counts in zip(*build_daily.values())] or [0] * days,
            "builds": [{"build": b, "reports": n, "share": n / total, "groups": g,
                        "first": build_seen[b][0], "last": build_seen[b][1],
                        "daily": build_daily[b]} for b, n, g in builds],
            "groups": [{"exception": e, "address": a, "build": b, "reports": n,
                        "share": n / total, "first": seen[(e, a, b)][0],
                        "last": seen[(e, a, b)][1], "daily": group_daily[(e, a, b)]}
                       for e, a, b, n, _ in groups],
            "malformed_kept": malformed_count,
            "malformed_limit": self.malformed_kept,
            "malformed": [{"received": r, "client": c, "body": body.decode("latin-1"),
                           "repeats": n} for r, c, body, n in malformed],
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


def _chart(summary, width=1100, height=200):
    """Reports per day, stacked by build, as inline SVG."""
    days = summary["days"]
    builds = summary["builds"]
    left, right, top, bottom = 50, 10, 10, 40
    plot_w, plot_h = width - left - right, height - top - bottom
    peak = _nice_ceiling(max(summary["daily"] + [1]))
    slot = plot_w / len(days)
    out = ['<svg class="chart" xmlns="http://www.w3.org/2000/svg" width="%d" height="%d"'
           ' role="img" aria-label="Reports per day by build">' % (width, height)]
    for i in range(5):
        value = peak * i // 4
        y = top + plot_h - plot_h * i / 4
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>'
                   '<text x="%d" y="%.1f" text-anchor="end" font-size="11">%d</text>'
                   % (left, left + plot_w, y, y, left - 4, y + 4, value))
    base = [0] * len(days)
    for position, build in enumerate(builds):
        colour = _PALETTE[min(position, len(_PALETTE) - 1)]
        for i, count in enumerate(build["daily"]):
            if not count:
                continue
            y0 = top + plot_h - plot_h * base[i] / peak
            bar = plot_h * count / peak
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="%s">'
                       '<title>%s build %s: %d</title></rect>'
                       % (left + i * slot + slot * 0.1, y0 - bar, max(slot * 0.8, 1), bar,
                          colour, days[i], _shown(build["build"]), count))
            base[i] += count
    step = max(1, round(len(days) / 8))
    for i in range(len(days) - 1, -1, -step):
        out.append('<text x="%.1f" y="%d" text-anchor="middle" font-size="11">%s</text>'
                   % (left + (i + 0.5) * slot, top + plot_h + 16, days[i][5:]))
    out.append('<line x1="%d" x2="%d" y1="%d" y2="%d" stroke="#333"/>'
               % (left, left + plot_w, top + plot_h, top + plot_h))
    for position, build in enumerate(builds[:len(_PALETTE)]):
        name = build["build"] if position < len(_PALETTE) - 1 or len(builds) == len(_PALETTE) \
            else "older"
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
    names is one group, shown as before: exception, address, build."""
    signatures = summary.get("signatures")
    if signatures is None:
        signatures = symbols.signatures(summary["groups"], {})
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
                       % (_shown(symbols.where(group)), _shown(group["address"]),
                          _shown(group["build"]), group["reports"], 100 * group["share"],
                          _when(group["first"]), _when(group["last"])))
    out.append("</table>\n")
    if summary.get("symbol_builds"):
        out.append("<p>Symbol files for builds %s.</p>\n"
                   % ", ".join(_shown(b) for b in summary["symbol_builds"]))
    return "".join(out)


def add_signatures(summary, folder, log=None):
    """Names the summary's groups from the symbol files of folder (a
    symbols.SymbolFolder, or None) and gathers them into signatures. At
    view time, so that a symbol file copied in later names the reports
    that came before it."""
    tables = folder.tables(log) if folder else {}
    summary["signatures"] = symbols.signatures(summary["groups"], tables)
    summary["symbol_builds"] = sorted(tables, key=lambda b: (len(b), b), reverse=True)
    return summary


def summary_page(summary):
    days = len(summary["days"])
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
               summary["reports"], summary["group_count"], summary["days"][0],
               summary["days"][-1], " ".join(
                   '<a href="%s">%d days</a>' % (html.escape(_link(n, build)), n)
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
    out.append("</table>\n<h2>Malformed reports: %d</h2>\n<p>Only the newest %d are kept. "
               "The latest:</p>\n<table>\n<tr><th>Received</th><th>Client</th><th>Body</th>"
               "<th>Again</th></tr>\n" % (summary["malformed_kept"], summary["malformed_limit"]))
    for row in summary["malformed"]:
        out.append("<tr>" + "".join("<td>%s</td>" % _shown(row[k])
                                    for k in ("received", "client", "body", "repeats")) +
                   "</tr>\n")
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
    if build is not None and not _BUILD.match("Build: " + build):
        return None
    return int(days), build


def make_app(db_path, password, limit=DEFAULT_LIMIT, window=DEFAULT_WINDOW_S,
             malformed_kept=DEFAULT_MALFORMED_KEPT, trusted_proxies=(), clock=time.time,
             symbol_folder=None):
    """The WSGI application. password: the summary's password; None or empty
    switches the summary off. trusted_proxies: networks (ipaddress) whose
    X-Forwarded-For is believed. clock: the time now, as Unix time.
    symbol_folder: the folder of the builds' symbol files, or None."""
    store = Store(db_path, limit, window, malformed_kept)
    folder = symbols.SymbolFolder(symbol_folder) if symbol_folder else None
    trusted_proxies = list(trusted_proxies)

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
            client = client_address(environ, trusted_proxies)
            now = clock()
            try:
                outcome = store.post(client, body, now)
                if outcome == "limited":
                    return answer("429 Too Many Requests", b"too many reports",
                                  extra=[("Retry-After", str(store.retry_after(client, now)))])
            except sqlite3.Error as error:
                # Not kept, so not acknowledged: the setup program tries again.
                print("vreport: report not stored: %s" % error, file=environ["wsgi.errors"])
                return answer("503 Service Unavailable", b"not stored")
            return answer("200 OK", b"OK")
        if path in ("/reports", "/reports.json"):
            if method != "GET":
                return answer("405 Method Not Allowed", b"GET only", extra=[("Allow", "GET")])
            if not password:
                return answer("403 Forbidden", b"no summary password configured")
            if not _password_matches(environ, password):
                return answer("401 Unauthorized", b"password required",
                              extra=[("WWW-Authenticate", 'Basic realm="crash reports"')])
            query = _summary_query(environ)
            if query is None:
                return answer("400 Bad Request", b"days: 1 to %d; build: its digits" % MAX_DAYS)
            summary = add_signatures(store.summary(query[0], query[1], clock()), folder,
                                     environ["wsgi.errors"])
            if path == "/reports.json":
                return answer("200 OK", json.dumps(summary, indent=1).encode("utf-8"),
                              "application/json", extra=[("Cache-Control", "no-store")])
            return answer("200 OK", summary_page(summary), "text/html; charset=utf-8",
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


def settings_from_environment(environ=os.environ):
    """make_app's settings from VREPORT_LIMIT, VREPORT_WINDOW,
    VREPORT_MALFORMED_KEPT, VREPORT_TRUSTED_PROXIES and VREPORT_SYMBOLS."""
    def number(name, default, least):
        value = int(environ.get(name) or default)
        if value < least:
            raise ValueError("%s must be at least %d" % (name, least))
        return value

    return {"limit": number("VREPORT_LIMIT", DEFAULT_LIMIT, 1),
            "window": number("VREPORT_WINDOW", DEFAULT_WINDOW_S, 1),
            "malformed_kept": number("VREPORT_MALFORMED_KEPT", DEFAULT_MALFORMED_KEPT, 0),
            "trusted_proxies": parse_networks(environ.get("VREPORT_TRUSTED_PROXIES")),
            "symbol_folder": environ.get("VREPORT_SYMBOLS") or None}


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
                os.environ.get("VREPORT_PASSWORD_FILE"), os.environ.get("VREPORT_PASSWORD")),
                **settings_from_environment())
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
    parser = argparse.ArgumentParser(
        description="Crash report server (embedded). The limits come from the environment "
                    "as under a WSGI server: VREPORT_LIMIT, VREPORT_WINDOW, "
                    "VREPORT_MALFORMED_KEPT, VREPORT_TRUSTED_PROXIES.")
    parser.add_argument("--symbols", metavar="DIR", default=os.environ.get("VREPORT_SYMBOLS"),
                        help="folder of the builds' symbol files (default: $VREPORT_SYMBOLS)")
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
    try:
        settings = settings_from_environment()
    except ValueError as error:
        parser.error(str(error))
    password = read_password(args.password_file, os.environ.get("VREPORT_PASSWORD"))
    settings["symbol_folder"] = args.symbols
    try:
        app = make_app(args.db, password, **settings)
    except ValueError as error:
        parser.error(str(error))
    server = make_server(args.host, args.port, app)
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
