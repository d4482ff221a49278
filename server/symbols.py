"""Symbol files of the setup program's builds, and the names they give the
addresses of crash reports. Standard library only.

Each build writes VeltranoxSetup.sym beside the program, a text file:

    program VeltranoxSetup.exe
    build 043
    base 00400000
    sha256 <64 hex digits of the program file as shipped>
    00401000 WinMain
    0040100C install_entry
    ...
    0040A600 etext

The header lines come first, in that order; then one line per function
start, ascending: the address at the link-time base (eight upper-case hex
digits), one blank, the function's plain name. The last line, named
"etext", is where the code ends: an address at or past it, or before the
first function, is no function's. The setup program reports an address
inside its own image at the link-time base, so these addresses are the
reports' on every Windows and boot.
"""
import bisect
import os
import re

_HEADER = [("program", re.compile(r"[^\s\\/]{1,255}\Z")),
           ("build", re.compile(r"[0-9]{3}\Z")),
           ("base", re.compile(r"[0-9A-F]{8}\Z")),
           ("sha256", re.compile(r"[0-9a-f]{64}\Z"))]
_START = re.compile(r"([0-9A-F]{8}) (\S.{0,999})\Z")
END_NAME = "etext"
# A symbol file larger than this is no symbol file of the setup program.
MAX_FILE_BYTES = 16 * 1024 * 1024


class SymbolFile:
    """One build's function starts."""

    def __init__(self, program, build, base, sha256, starts, names):
        self.program, self.build, self.base, self.sha256 = program, build, base, sha256
        self.starts, self.names = starts, names  # ascending; the last is the end

    def function(self, address):
        """(name, offset) of the function holding address (an int), or None."""
        at = bisect.bisect_right(self.starts, address) - 1
        if at < 0 or at >= len(self.starts) - 1:
            return None
        return self.names[at], address - self.starts[at]


def parse(text):
    """A SymbolFile from a symbol file's text; ValueError naming the line
    that is not as it should be."""
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    header = {}
    for number, (key, pattern) in enumerate(_HEADER):
        if number >= len(lines):
            raise ValueError("no %s line" % key)
        name, _, value = lines[number].partition(" ")
        if name != key or not pattern.match(value):
            raise ValueError("line %d: expected \"%s ...\"" % (number + 1, key))
        header[key] = value
    starts, names = [], []
    for number, line in enumerate(lines[len(_HEADER):], len(_HEADER) + 1):
        match = _START.match(line)
        if not match:
            raise ValueError("line %d: expected \"XXXXXXXX name\"" % number)
        address = int(match.group(1), 16)
        if starts and address <= starts[-1]:
            raise ValueError("line %d: addresses must ascend" % number)
        starts.append(address)
        names.append(match.group(2))
    if len(names) < 2 or names[-1] != END_NAME:
        raise ValueError("no functions, or no \"%s\" line at the end" % END_NAME)
    if starts[0] < int(header["base"], 16):
        raise ValueError("a function below the base")
    return SymbolFile(header["program"], header["build"], int(header["base"], 16),
                      header["sha256"], starts, names)


def read(path):
    with open(path, "rb") as f:
        data = f.read(MAX_FILE_BYTES + 1)
    if len(data) > MAX_FILE_BYTES:
        raise ValueError("larger than %d bytes" % MAX_FILE_BYTES)
    try:
        return parse(data.decode("ascii"))
    except UnicodeDecodeError:
        raise ValueError("not ASCII text") from None


class SymbolFolder:
    """The *.sym files of one folder, read again whenever one is added,
    changed or removed. A file that cannot be read, and builds that two
    files claim, give no names; `problems` says why."""

    def __init__(self, path):
        if not os.path.isdir(path):
            raise ValueError("the symbol folder %s is no folder" % path)
        self.path = path
        self._files = {}       # file name -> ((mtime_ns, size), SymbolFile or reason)
        self._tables = {}
        self._seen = None
        self.problems = []

    def tables(self, log=None):
        """{build: SymbolFile} as the folder holds them now. What cannot be
        used is written to log (a file) when the folder is read again."""
        state = {}
        with os.scandir(self.path) as entries:
            for entry in entries:
                if entry.name.endswith(".sym") and entry.is_file():
                    info = entry.stat()
                    state[entry.name] = (info.st_mtime_ns, info.st_size)
        if state == self._seen:
            return self._tables
        files = {}
        for name, stamp in state.items():
            kept = self._files.get(name)
            if kept and kept[0] == stamp:
                files[name] = kept
                continue
            try:
                files[name] = (stamp, read(os.path.join(self.path, name)))
            except (OSError, ValueError) as error:
                files[name] = (stamp, str(error))
        by_build, problems = {}, []
        for name in sorted(files):
            table = files[name][1]
            if isinstance(table, str):
                problems.append("%s: %s" % (name, table))
            else:
                by_build.setdefault(table.build, []).append((name, table))
        tables = {}
        for build, claims in by_build.items():
            if len(claims) == 1:
                tables[build] = claims[0][1]
            else:
                problems.append("build %s: in %s; its addresses stay unnamed" %
                                (build, ", ".join(name for name, _ in claims)))
        self._files, self._tables, self._seen, self.problems = files, tables, state, problems
        for problem in problems if log else ():
            print("vreport: symbol file not used: %s" % problem, file=log)
        return tables

    def builds(self):
        """The builds that have a symbol file."""
        return set(self.tables())


def _build_order(build):
    return (len(build), build)


def signatures(groups, tables):
    """Groups (dicts with exception, address, build, reports, share, first,
    last, daily) gathered by what faulted: the exception and the function,
    across builds. Each group gets "function" and "offset" (None where its
    build has no symbol file or the address is no function's); such a group
    stays a signature of its own, as before. Signatures come by reports,
    then the latest; each lists its builds (newest first) and its groups."""
    gathered = {}
    for group in groups:
        table = tables.get(group["build"])
        found = table.function(int(group["address"], 16)) if table else None
        group["function"], group["offset"] = found if found else (None, None)
        key = ((group["exception"], group["function"]) if found else
               (group["exception"], None, group["address"], group["build"]))
        gathered.setdefault(key, []).append(group)
    out = []
    for (exception, function, *_), members in gathered.items():
        daily = [sum(counts) for counts in zip(*(g["daily"] for g in members))]
        out.append({
            "exception": exception,
            "function": function,
            "address": None if function else members[0]["address"],
            "builds": sorted({g["build"] for g in members}, key=_build_order, reverse=True),
            "reports": sum(g["reports"] for g in members),
            "share": sum(g["share"] for g in members),
            "first": min(g["first"] for g in members),
            "last": max(g["last"] for g in members),
            "daily": daily,
            "groups": [{key: g[key] for key in ("address", "build", "function", "offset",
                                               "reports", "share", "first", "last")}
                       for g in members],
        })
    out.sort(key=lambda s: (s["reports"], s["last"]), reverse=True)
    return out


def where(group):
    """A group's place as the page shows it: "install_entry+0x47", or None."""
    if group["function"] is None:
        return None
    return "%s+0x%x" % (group["function"], group["offset"])
