#!/usr/bin/env python3
"""Renders the report server's summary in Debian's headless Chromium: a
database seeded with several builds over several weeks, and the symbol
files of most of them, served on a free
loopback port at a fixed time, so that the picture comes out the same on
every run. The report server test renders it the same way and reads the
page Chromium made of it.

usage: screenshot.py [OUT.png]        (default: docs/screens/reports.png)
"""
import calendar
import hashlib
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "server"))
import vreport  # noqa: E402

NOW = calendar.timegm((2026, 11, 30, 16, 0, 0))
PASSWORD = "screenshot"
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
            "--window-size=1200,900"]

# build, first and last day it was handed out (days before NOW), and its
# crashes: exception, address, reports a day at full use.
BUILDS = [
    ("041", -60, -30, [("EXCEPTION_ACCESS_VIOLATION", "0040A1F3", 9.0),
                       ("EXCEPTION_INT_DIVIDE_BY_ZERO", "00412C08", 2.0)]),
    ("042", -60, -15, [("EXCEPTION_ACCESS_VIOLATION", "0040A1F3", 7.0),
                       ("EXCEPTION_STACK_OVERFLOW", "00408E10", 1.5),
                       ("<UNKNOWN ERROR>", "7C812AFB", 0.8)]),
    ("043", -42, 0, [("EXCEPTION_ACCESS_VIOLATION", "0040A2B7", 14.0),
                     ("EXCEPTION_IN_PAGE_ERROR", "00403A44", 3.0),
                     ("EXCEPTION_STACK_OVERFLOW", "00408E10", 1.2),
                     ("EXCEPTION_PRIV_INSTRUCTION", "0041F000", 0.4)]),
    ("044", -21, 0, [("EXCEPTION_IN_PAGE_ERROR", "00403A44", 2.5),
                     ("EXCEPTION_ACCESS_VIOLATION", "0040B0C1", 1.5)]),
    ("045", -8, 0, [("EXCEPTION_IN_PAGE_ERROR", "00403A5C", 1.0)]),
]


# The symbol files of four of those builds (045 has none): function starts
# and the end of the code. install_entry moved in 043 and 044.
SYMBOLS = {
    "041": ([(0x401000, "run_setup"), (0x403A00, "file_expansion"),
             (0x408DF0, "location_validation"), (0x40A1AC, "install_entry"),
             (0x412B90, "volume_is_full")], 0x414000),
    "043": ([(0x401000, "run_setup"), (0x403A0C, "file_expansion"),
             (0x408DF0, "location_validation"), (0x40A270, "install_entry"),
             (0x412C00, "volume_is_full")], 0x41E800),
    "044": ([(0x401000, "run_setup"), (0x403A0C, "file_expansion"),
             (0x408DF0, "location_validation"), (0x40B07A, "install_entry"),
             (0x413000, "volume_is_full")], 0x41E900),
}
SYMBOLS["042"] = SYMBOLS["041"]


def symbol_file(build, functions, end, program="VeltranoxSetup.exe"):
    """The text of a symbol file as the build writes it: functions as
    (address, name), ascending, and the end of the code."""
    lines = ["program " + program, "build " + build, "base 00400000",
             "sha256 " + hashlib.sha256(build.encode()).hexdigest()]
    lines += ["%08X %s" % (address, name) for address, name in functions + [(end, "etext")]]
    return "\n".join(lines) + "\n"


def seed(path, now=NOW):
    """Writes the reports of the last 60 days into a new database at path,
    straight into SQLite, as the server would have stored them."""
    vreport.open_store(path)
    rng = random.Random(24)
    rows = []
    for first, (build, start, end, crashes) in enumerate(BUILDS):
        for day in range(start, end + 1):
            # Taken up over a week, handed out until `end`, fading after.
            use = min(1.0, (day - start + 1) / 7.0)
            for exception, address, rate in crashes:
                for _ in range(sum(rng.random() < rate * use / 4 for _ in range(4 + int(rate)))):
                    moment = now + day * 86400 - rng.randrange(86400 if day else 57600)
                    client = "198.51.100.%d" % rng.randrange(1, 255)
                    body = ("log=INSTALLER+ERROR%0A%0D" + exception + "%0A%0Dat+" + address +
                            "%0A%0DBuild:+" + build + "%0A%0D").replace(" ", "+").encode()
                    rows.append((vreport._timestamp(moment), client, exception, address, build,
                                 body))
    rows.sort()
    with sqlite3.connect(path) as connection:
        connection.executemany(
            "INSERT INTO reports (received, client, malformed, exception, address, build, body)"
            " VALUES (?, ?, 0, ?, ?, ?, ?)", rows)
        connection.execute(
            "INSERT INTO reports (received, client, malformed, body) VALUES (?, ?, 1, ?)",
            (vreport._timestamp(now - 7200), "203.0.113.9", b"log=INSTALLER+ERROR%0A%0D"))
        vreport.rebuild_daily(connection)
    return len(rows)


def seed_symbols(folder):
    """Writes the symbol files of SYMBOLS into folder."""
    for build, (functions, end) in SYMBOLS.items():
        with open(os.path.join(folder, "VeltranoxSetup-%s.sym" % build), "w") as f:
            f.write(symbol_file(build, functions, end))


def chromium(db, path, arguments, now=NOW, symbol_folder=None):
    """Chromium's stdout for one page of the server (with arguments such as
    --dump-dom or --screenshot=FILE), the server running at time `now`
    with the symbol files of symbol_folder."""
    if shutil.which(CHROMIUM[0]) is None:
        raise RuntimeError("chromium is missing: run scripts/bootstrap.sh")
    server = vreport.make_server("127.0.0.1", 0, vreport.make_app(db, PASSWORD,
                                                                  clock=lambda: now,
                                                                  symbol_folder=symbol_folder),
                                 quiet=True)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    profile = tempfile.mkdtemp(prefix="vreport-chromium-")
    try:
        url = "http://viewer:%s@127.0.0.1:%d%s" % (PASSWORD, server.server_address[1], path)
        result = subprocess.run(CHROMIUM + ["--user-data-dir=" + profile] + arguments + [url],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        if result.returncode != 0:
            raise RuntimeError("chromium failed: %s" % result.stderr.decode(errors="replace"))
        return result.stdout.decode("utf-8")
    finally:
        server.shutdown()
        server.server_close()
        thread.join(10)
        shutil.rmtree(profile, ignore_errors=True)


def main(argv):
    out = os.path.abspath(argv[1] if len(argv) > 1 else
                          os.path.join(HERE, "..", "..", "..", "docs", "screens", "reports.png"))
    folder = tempfile.mkdtemp(prefix="vreport-screenshot-")
    try:
        db = os.path.join(folder, "reports.sqlite3")
        count = seed(db)
        seed_symbols(folder)
        start = time.monotonic()
        chromium(db, "/reports", ["--screenshot=" + out], symbol_folder=folder)
        print("%s: /reports of %d reports, rendered in %.1f s" %
              (out, count, time.monotonic() - start))
    finally:
        shutil.rmtree(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
