#!/usr/bin/env python3
"""Report server benchmark, all on this machine's loopback (127.0.0.0/8):

1. throughput: the same uploads (20 clients at once, each report from one
   of many loopback addresses) against the embedded server and against
   Debian's gunicorn (README's set-up: gthread workers; and 4 sync workers),
   side by side, this server beside an older one (--old: its server folder,
   e.g. a worktree of an earlier commit), each in its own process;
2. flood: posts from one client (same body, other bodies, malformed 4 KB
   bodies) interleaved with real reports from other clients, then 4 KB
   malformed bodies from many clients: how much the database grows, beside
   the bound the limits set;
3. the summary at 1,000,000 reports (a year, written straight into SQLite
   as the first version of the server kept them, then migrated): the page's
   time without symbol files and with one for every build (the addresses
   named and gathered by function), beside the first version's grouped
   query over the same reports and, with --baseline, the same pages of
   another vreport.py (an earlier one, say) on the same database;
4. forged builds: reports from 200 addresses, each with a build of its own
   made up, posted to each server: /reports's size, time and Chromium's;
5. the summary under a hostile load: 1,000,000 reports in 100,000 groups
   over 1,000 builds in a year, plus 100,000 made-up builds of one report
   each in the last 30 days (as an earlier version stored them), written
   straight into the per-day table the summary reads: each view's size,
   time and the server's peak memory, and Chromium's time to draw /reports,
   this server beside the older one (under a 4 GB memory limit, each view
   given 300 s at most).

usage: bench/report_server.py [--uploads 3000] [--flood 100000] [--malformed 10000]
                              [--reports 1000000] [--forged 2000] [--hostile 1000000]
                              [--old DIR] [--baseline OTHER/vreport.py]
                              (0: that part is left out)
"""
import argparse
import concurrent.futures
import hashlib
import http.client
import importlib.util
import multiprocessing
import os
import random
import re
import resource
import socket
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "..", "server")
sys.path.insert(0, SERVER)
import vreport  # noqa: E402

GUNICORN = ["/usr/bin/python3", "-m", "gunicorn"]
PASSWORD = "bench"
FORM = {"Content-Type": "application/x-www-form-urlencoded"}
AUTH = {"Authorization": "Basic YmVuY2g6YmVuY2g="}  # bench:bench


def report(address="00000ABC", build="043", name="EXCEPTION_ACCESS_VIOLATION"):
    return ("log=INSTALLER+ERROR%0A%0D" + name + "%0A%0Dat+" + address + "%0A%0DBuild:+" +
            build + "%0A%0D").encode("ascii")


def post(port, body, source, headers=FORM, path="/vreport.asp"):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60,
                                            source_address=(source, 0))
    try:
        connection.request("POST", path, body, headers)
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


def get(port, path):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    try:
        connection.request("GET", path, headers=AUTH)
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


class Embedded:
    def __init__(self, db, module=vreport, **settings):
        self.server = module.make_server("127.0.0.1", 0, module.make_app(db, PASSWORD,
                                                                         **settings),
                                         quiet=True)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()


# README's set-up: threads, so that slow clients wait without holding up the
# others (see the README for the proxy in front).
GUNICORN_SETUP = ["--worker-class", "gthread", "--workers", "2", "--threads", "600"]
GUNICORN_SYNC = ["--workers", "4"]


class Gunicorn:
    def __init__(self, db, folder, server_dir=SERVER, arguments=None, **environment):
        env = dict(os.environ, VREPORT_DB=db, VREPORT_PASSWORD=PASSWORD, **environment)
        self.log = os.path.join(folder, "gunicorn.log")
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen(
                GUNICORN + ["--chdir", server_dir] + (arguments or GUNICORN_SETUP) +
                ["--bind", "127.0.0.1:0", "vreport:application"],
                env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        deadline = time.monotonic() + 60
        while True:
            with open(self.log, "rb") as log:
                found = re.search(rb"Listening at: http://127\.0\.0\.1:(\d+)", log.read())
            if found:
                self.port = int(found.group(1))
                break
            if self.process.poll() is not None or time.monotonic() > deadline:
                sys.exit("bench: gunicorn did not start (%s)" % self.log)
            time.sleep(0.05)
        post(self.port, report(build="000"), "127.255.0.1")  # every worker opens the file

    def stop(self):
        self.process.terminate()
        self.process.wait(60)


def _upload_share(arguments):
    """One client process: its share of the uploads from 5 threads."""
    port, numbers = arguments

    def one(n):
        source = "127.0.%d.%d" % (1 + n // 2500, 2 + n // 10 % 250)
        return post(port, report(address="%08X" % n), source)

    with concurrent.futures.ThreadPoolExecutor(5) as pool:
        return sum(answer == (200, b"OK") for answer in pool.map(one, numbers))


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class EmbeddedProcess:
    """A server folder's embedded server in a process of its own."""

    def __init__(self, server_dir, db, memory_limit=None):
        self.port = free_port()

        def limit():
            if memory_limit:
                resource.setrlimit(resource.RLIMIT_AS, (memory_limit, memory_limit))

        self.process = subprocess.Popen(
            [sys.executable, os.path.join(server_dir, "vreport.py"), "--host", "127.0.0.1",
             "--port", str(self.port), "--db", db],
            env=dict(os.environ, VREPORT_PASSWORD=PASSWORD), preexec_fn=limit,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    sys.exit("bench: the server of %s did not start" % server_dir)
                time.sleep(0.05)

    def peak_memory(self):
        """The process's peak resident memory, in bytes."""
        with open("/proc/%d/status" % self.process.pid) as status:
            return int(re.search(r"VmHWM:\s+(\d+) kB", status.read()).group(1)) * 1024

    def stop(self):
        self.process.kill()
        self.process.wait(60)


def throughput(kind, uploads, folder, server_dir=SERVER, arguments=None):
    db = os.path.join(folder, "%s-%d.sqlite3" % (kind, time.monotonic_ns()))
    server = EmbeddedProcess(server_dir, db) if kind == "embedded" else \
        Gunicorn(db, folder, server_dir=server_dir, arguments=arguments)
    try:
        shares = [(server.port, range(i, uploads, 4)) for i in range(4)]
        start = time.monotonic()
        with multiprocessing.Pool(4) as pool:
            ok = sum(pool.map(_upload_share, shares))
        elapsed = time.monotonic() - start
    finally:
        server.stop()
    with sqlite3.connect(db) as connection:
        stored, = connection.execute(
            "SELECT COUNT(DISTINCT address) FROM reports WHERE build = '043'").fetchone()
    return uploads / elapsed, ok, stored


def disk(db):
    return sum(os.path.getsize(db + suffix) for suffix in ("", "-wal", "-shm")
               if os.path.exists(db + suffix))


def run_posts(one, numbers):
    with concurrent.futures.ThreadPoolExecutor(16) as pool:
        return list(pool.map(one, numbers, chunksize=64))


def flood(posts, folder):
    """posts from 127.0.0.2 under gunicorn, every 100th post a real report
    from another client: the growth after a tenth and after all of them,
    the answers, what was kept."""
    db = os.path.join(folder, "flood.sqlite3")
    server = Gunicorn(db, folder)
    try:
        before = disk(db)
        junk = b"log=" + b"J" * (vreport.MAX_BODY - 4 - 8)

        def one(n):
            if n % 100 == 99:
                k = n // 100
                return "real", post(server.port, report(address="%08X" % k, build="044"),
                                    "127.0.%d.%d" % (100 + k // 250, 2 + k % 250))
            kind = n % 3
            body = (report() if kind == 0 else report(address="%08X" % n) if kind == 1
                    else junk + b"%08d" % n)
            return "flood", post(server.port, body, "127.0.0.2")

        start = time.monotonic()
        answers = run_posts(one, range(posts // 10))
        tenth = disk(db) - before
        answers += run_posts(one, range(posts // 10, posts))
        elapsed = time.monotonic() - start
        grown = disk(db) - before
    finally:
        server.stop()
    real = [a for kind, a in answers if kind == "real"]
    flooded = [a for kind, a in answers if kind == "flood"]
    with sqlite3.connect(db) as connection:
        kept_real, = connection.execute(
            "SELECT COUNT(*) FROM reports WHERE build = '044'").fetchone()
        kept_flood, repeats, kept_bytes = connection.execute(
            "SELECT COUNT(*), SUM(repeats), SUM(length(body)) FROM reports"
            " WHERE client = '127.0.0.2'").fetchone()
    print("flood: %d posts from one client (same body, other reports, 4 KB malformed), %d real"
          " reports from %d other clients interleaved, under gunicorn, in %.0f s:"
          % (len(flooded), len(real), len(real), elapsed))
    print("  the client: %d answered OK (limit %d a window), %d answered 429; %d rows stored"
          " (%d bytes of bodies; bound: %d x 4 KB = %d), %d posts counted on them"
          % (flooded.count((200, b"OK")), vreport.DEFAULT_LIMIT,
             sum(a[0] == 429 for a in flooded), kept_flood, kept_bytes, vreport.DEFAULT_LIMIT,
             vreport.DEFAULT_LIMIT * vreport.MAX_BODY, repeats or 0))
    print("  the others: %d of %d answered OK, %d stored"
          % (real.count((200, b"OK")), len(real), kept_real))
    print("  database and WAL grew %d bytes after %d posts, %d after %d (the %d real reports"
          " included)" % (tenth, posts // 10, grown, posts, len(real)))


def malformed_flood(posts, folder):
    """posts of 4 KB malformed bodies from many clients, none over the limit:
    the growth after a fifth and after all of them."""
    db = os.path.join(folder, "malformed.sqlite3")
    server = Gunicorn(db, folder)
    try:
        before = disk(db)
        junk = b"log=" + b"M" * (vreport.MAX_BODY - 4 - 8)

        def one(n):
            return post(server.port, junk + b"%08d" % n,
                        "127.%d.%d.%d" % (200 + n // 62500, n // 250 % 250, 2 + n % 250))

        start = time.monotonic()
        answers = run_posts(one, range(posts // 5))
        fifth = disk(db) - before
        answers += run_posts(one, range(posts // 5, posts))
        elapsed = time.monotonic() - start
        grown = disk(db) - before
    finally:
        server.stop()
    with sqlite3.connect(db) as connection:
        kept, = connection.execute("SELECT COUNT(*) FROM reports WHERE malformed = 1").fetchone()
    print("malformed: %d posts of 4 KB, each from another client, in %.0f s: %d answered OK,"
          " %d kept (VREPORT_MALFORMED_KEPT); database and WAL grew %d bytes after %d posts,"
          " %d after %d" % (posts, elapsed, answers.count((200, b"OK")), kept, fifth,
                            posts // 5, grown, posts))


BUILDS = ("040", "041", "042", "043", "044", "045")


def write_symbols(folder, functions=600):
    """A symbol file for each build: functions of 32 to 400 bytes from
    00401000 on, the code ending at 00420000 (where seed_year's addresses
    end)."""
    rng = random.Random(2)
    for build in BUILDS:
        lines = ["program VeltranoxSetup.exe", "build " + build, "base 00400000",
                 "sha256 " + hashlib.sha256(build.encode()).hexdigest()]
        address = 0x401000
        for n in range(functions):
            lines.append("%08X function_%d_%d" % (address, int(build), n))
            address += rng.randrange(32, 400) & ~3
        lines.append("%08X etext" % max(address, 0x420000))
        with open(os.path.join(folder, "VeltranoxSetup-%s.sym" % build), "w") as f:
            f.write("\n".join(lines) + "\n")


def seed_year(db, count):
    """count reports over the last 365 days, in the first version's table."""
    rng = random.Random(1)
    groups = [("EXCEPTION_%s" % name, "%08X" % rng.randrange(0x400000, 0x420000), build)
              for build in BUILDS
              for name in ("ACCESS_VIOLATION", "IN_PAGE_ERROR", "STACK_OVERFLOW",
                           "INT_DIVIDE_BY_ZERO", "PRIV_INSTRUCTION", "ILLEGAL_INSTRUCTION",
                           "DATATYPE_MISALIGNMENT", "ARRAY_BOUNDS_EXCEEDED", "BREAKPOINT",
                           "SINGLE_STEP", "FLT_INVALID_OPERATION", "NONCONTINUABLE_EXCEPTION")]
    weights = [1.0 / (i + 1) for i in range(len(groups))]
    now = time.time()
    connection = sqlite3.connect(db)
    connection.executescript("""
        CREATE TABLE reports (id INTEGER PRIMARY KEY AUTOINCREMENT, received TEXT NOT NULL,
            client TEXT NOT NULL, malformed INTEGER NOT NULL, exception TEXT, address TEXT,
            build TEXT, body BLOB NOT NULL);
        CREATE INDEX reports_group ON reports (exception, address, build);""")
    times = sorted(now - rng.random() * 365 * 86400 for _ in range(count))

    def rows():
        for when in times:
            exception, address, build = rng.choices(groups, weights)[0]
            yield (vreport._timestamp(when), "198.51.100.%d" % rng.randrange(1, 255), exception,
                   address, build, report(address, build, exception))

    with connection:
        connection.executemany(
            "INSERT INTO reports (received, client, malformed, exception, address, build, body)"
            " VALUES (?, ?, 0, ?, ?, ?, ?)", rows())
    connection.close()


def page_times(count, folder, baseline=None):
    db = os.path.join(folder, "year.sqlite3")
    start = time.monotonic()
    seed_year(db, count)
    seeded = time.monotonic() - start
    # The first version's page: every group over every report.
    with sqlite3.connect(db) as connection:
        start = time.monotonic()
        connection.execute(
            "SELECT exception, address, build, COUNT(*), MIN(received), MAX(received)"
            " FROM reports WHERE malformed = 0 GROUP BY exception, address, build"
            " ORDER BY MAX(id) DESC LIMIT 1000").fetchall()
        old = time.monotonic() - start
    start = time.monotonic()
    vreport.open_store(db)
    migrated = time.monotonic() - start
    symbol_folder = os.path.join(folder, "symbols")
    os.mkdir(symbol_folder)
    write_symbols(symbol_folder)
    servers = {"no symbol files": Embedded(db),
               "symbol files": Embedded(db, symbol_folder=symbol_folder)}
    if baseline:
        found = importlib.util.spec_from_file_location("vreport_baseline", baseline)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        servers = dict({"baseline": Embedded(db, module)}, **servers)
    try:
        timings = {}
        for path in ["/reports", "/reports?days=365", "/reports.json", "/reports?build=043"]:
            runs = {kind: [] for kind in servers}
            order = list(servers.items())
            for i in range(7):
                # In turn, each first in its turn: all see the same load.
                for kind, server in order[i % len(order):] + order[:i % len(order)]:
                    start = time.monotonic()
                    status, page = get(server.port, path)
                    runs[kind].append(time.monotonic() - start)
                    assert status == 200, (kind, path, status)
            timings[path] = {kind: statistics.median(times) for kind, times in runs.items()}
    finally:
        for server in servers.values():
            server.stop()
    print("summary at %d reports over 365 days (%.1f MB; seeded in %.0f s, migrated in place"
          " in %.1f s), median of 7, %s:" % (count, disk(db) / 1e6, seeded, migrated,
                                            ", ".join(servers)))
    for path, seconds in timings.items():
        print("  GET %-20s %s" % (path, "  ".join("%6.3f s" % seconds[kind] for kind in servers)))
    print("  the first version's grouped query over the reports: %.3f s" % old)


def seed_hostile(db, count):
    """count reports in 100,000 groups over 1,000 builds in the last 365 days
    and 100,000 made-up builds of one report each in the last 30, straight
    into the per-day table (a database of the first schema with per-day
    counts, which both versions read)."""
    vreport.open_store(db)
    rng = random.Random(7)
    today = time.time()
    cells = {}
    for n in range(count):
        group = rng.randrange(100000)
        when = vreport._timestamp(today - rng.random() * 365 * 86400)
        key = (when[:10], "EXCEPTION_ACCESS_VIOLATION", "%08X" % (0x400000 + group),
               "%03d" % (group % 1000))
        first, last, reports = cells.get(key, (when, when, 0))
        cells[key] = (min(first, when), max(last, when), reports + 1)
    for n in range(100000):
        when = vreport._timestamp(today - rng.random() * 30 * 86400)
        cells[(when[:10], "EXCEPTION_ACCESS_VIOLATION", "00000ABC", "%010d" % n)] = \
            (when, when, 1)
    with sqlite3.connect(db) as connection:
        connection.executemany(
            "INSERT INTO daily (day, exception, address, build, first, last, reports)"
            " VALUES (?, ?, ?, ?, ?, ?, ?)", (key + value for key, value in cells.items()))
    return len(cells)


def chromium_time(port, path, limit_s=300):
    profile = tempfile.mkdtemp(prefix="vreport-bench-chromium-")
    try:
        start = time.monotonic()
        subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                        "--user-data-dir=" + profile, "--dump-dom",
                        "http://bench:%s@127.0.0.1:%d%s" % (PASSWORD, port, path)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=limit_s,
                       check=True)
        return "drawn by Chromium in %.1f s" % (time.monotonic() - start)
    except subprocess.TimeoutExpired:
        return "not drawn by Chromium in %d s" % limit_s
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def hostile_views(count, folder, old):
    db = os.path.join(folder, "hostile.sqlite3")
    start = time.monotonic()
    rows = seed_hostile(db, count)
    print("the summary under a hostile load: %d reports in 100,000 groups over 1,000 builds"
          " in a year and 100,000 made-up builds in the last 30 days (%d per-day rows, %.0f MB;"
          " seeded in %.0f s); 4 GB memory limit, 300 s a view:"
          % (count, rows, disk(db) / 1e6, time.monotonic() - start))
    servers = [("this server", SERVER)] + ([("the older one", old)] if old else [])
    for name, server_dir in servers:
        for path in ["/reports", "/reports.json?days=365"]:
            server = EmbeddedProcess(server_dir, db, memory_limit=4 << 30)
            try:
                start = time.monotonic()
                try:
                    connection = http.client.HTTPConnection("127.0.0.1", server.port,
                                                            timeout=300)
                    connection.request("GET", path, headers=AUTH)
                    response = connection.getresponse()
                    status, size = response.status, len(response.read())
                    connection.close()
                except OSError as error:
                    status, size = type(error).__name__, 0
                elapsed = time.monotonic() - start
                peak = server.peak_memory()
                drawn = chromium_time(server.port, path) if path == "/reports" and \
                    status == 200 else ""
            finally:
                server.stop()
            print("  %-12s GET %-22s %s, %9d bytes in %6.2f s, server peak %5.0f MB%s"
                  % (name, path, status, size, elapsed, peak / 1e6,
                     ", " + drawn if drawn else ""))


def forged_builds(posts, folder, old):
    """posts reports from 200 addresses, each with a build of its own made
    up (ten digits), through /vreport.asp of each server: what /reports
    becomes."""
    print("forged builds: %d reports from 200 addresses, each with its own made-up build:"
          % posts)
    for name, server_dir in [("this server", SERVER)] + ([("the older one", old)] if old else []):
        db = os.path.join(folder, "forged-%d.sqlite3" % time.monotonic_ns())
        server = EmbeddedProcess(server_dir, db, memory_limit=4 << 30)
        try:
            def one(n):
                return post(server.port, report(address="%08X" % n, build="%010d" % n),
                            "127.1.%d.%d" % (n % 200 // 250, 2 + n % 200))

            answers = run_posts(one, range(posts))
            start = time.monotonic()
            status, page = get(server.port, "/reports")
            elapsed = time.monotonic() - start
            peak = server.peak_memory()
            drawn = chromium_time(server.port, "/reports")
        finally:
            server.stop()
        print("  %-13s %d answered OK; GET /reports %s, %d bytes in %.2f s, server peak %.0f MB,"
              " %s" % (name, answers.count((200, b"OK")), status, len(page), elapsed, peak / 1e6,
                       drawn))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--uploads", type=int, default=3000)
    parser.add_argument("--flood", type=int, default=100000)
    parser.add_argument("--malformed", type=int, default=10000)
    parser.add_argument("--reports", type=int, default=1000000)
    parser.add_argument("--baseline", help="another vreport.py whose pages to time beside")
    parser.add_argument("--hostile", type=int, default=1000000)
    parser.add_argument("--forged", type=int, default=2000)
    parser.add_argument("--old", help="an older server's folder, to run beside this one")
    args = parser.parse_args()
    if not os.path.exists(GUNICORN[0]) or subprocess.run(
            GUNICORN + ["--version"], stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL).returncode != 0:
        sys.exit("bench: Debian's gunicorn is missing: run scripts/bootstrap.sh")
    folder = tempfile.mkdtemp(prefix="vreport-bench-")
    try:
        if args.uploads:
            print("throughput, %d uploads from 20 clients at once:" % args.uploads)
            for kind, label, arguments in [
                    ("embedded", "embedded", None),
                    ("gunicorn", "gunicorn, gthread 2 x 600", GUNICORN_SETUP),
                    ("gunicorn", "gunicorn, 4 sync workers", GUNICORN_SYNC)]:
                # Two rounds, the servers taking turns: the machine's load
                # changes while they run.
                servers = [SERVER] + ([args.old] if args.old else [])
                runs = {server_dir: [] for server_dir in servers}
                for round_ in range(2):
                    for server_dir in servers if round_ == 0 else servers[::-1]:
                        runs[server_dir].append(throughput(kind, args.uploads, folder,
                                                           server_dir, arguments))
                figures = []
                for server_dir in servers:
                    rates = [rate for rate, _, _ in runs[server_dir]]
                    figures.append("%4.0f reports/s (%s; %d OK, %d stored of each)" % (
                        statistics.mean(rates), " and ".join("%.0f" % r for r in rates),
                        min(ok for _, ok, _ in runs[server_dir]),
                        min(stored for _, _, stored in runs[server_dir])))
                ratio = ", %.2f x" % (statistics.mean(r for r, _, _ in runs[SERVER]) /
                                      statistics.mean(r for r, _, _ in runs[args.old])) \
                    if args.old else ""
                print("  %s: this server %s%s%s" % (label, figures[0], ", the older one " +
                                                   figures[1] if args.old else "", ratio))
        if args.flood:
            flood(args.flood, folder)
        if args.malformed:
            malformed_flood(args.malformed, folder)
        if args.reports:
            page_times(args.reports, folder, args.baseline)
        if args.forged:
            forged_builds(args.forged, folder, args.old)
        if args.hostile:
            hostile_views(args.hostile, folder, args.old)
    finally:
        shutil.rmtree(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
