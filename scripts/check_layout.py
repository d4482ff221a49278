#!/usr/bin/env python3
"""Checks the folder layering of the product's code and fails on the first
breach it finds (all of them are listed):

    python3 scripts/check_layout.py [ROOT]

Layers, bottom to top (see docs/layout.md):

    0  common/, resources/       base library; compiled-in data and ids
    1  ui/ location/ payload/ registration/ report/   the subsystems
    2  setup/                    entry point, sequence, setup state, notices
    2  programs/<name>/          the payload programs

An #include "folder/..." may go to a lower layer or stay in its own folder;
from the subsystems, setup/ is reached only through setup/state.h and
setup/notice.h; common/ includes nothing above it. The subsystems may use each other, but the graph of those
uses has no cycle. programs/ include nothing of one another, nor of
setup/ (state.h and notice.h included). Product code includes nothing of
tests/, bench/ or tools/; tools/ includes only headers of common/.

The build is checked too: no product source is compiled by path from a
CMakeLists.txt or .cmake file of another folder (the setup program's entry
point, which every build of the setup program compiles, and common/crc32.cpp,
which the host compressor builds with the other toolchain, excepted)."""
import os
import re
import subprocess
import sys

SUBSYSTEMS = {"ui", "location", "payload", "registration", "report"}
SANCTIONED = {"setup/state.h", "setup/notice.h"}
HOST_SHARED = set()
BY_PATH_ALLOWED = {("cmake", "setup/main.cpp"), ("tools/szdd", "common/crc32.cpp")}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SOURCE = re.compile(r'\$\{(?:CMAKE_SOURCE_DIR|PROJECT_SOURCE_DIR)\}/([A-Za-z0-9_/.-]+\.(?:cpp|c))\b')


def tracked(root):
    try:
        out = subprocess.run(["git", "-C", root, "ls-files"], check=True,
                             capture_output=True, text=True).stdout.split("\n")
        return [f for f in out if f and os.path.exists(os.path.join(root, f))]
    except (OSError, subprocess.CalledProcessError):
        files = []
        for folder, _, names in os.walk(root):
            for name in names:
                files.append(os.path.relpath(os.path.join(folder, name), root))
        return files


def unit(path):
    """The folder a file counts in: programs/<name>, tools/<name> or the top folder."""
    parts = path.split("/")
    if parts[0] in ("programs", "tools") and len(parts) > 2:
        return parts[0] + "/" + parts[1]
    return parts[0] if len(parts) > 1 else ""


def layer(folder):
    if folder in ("common", "resources"):
        return 0
    if folder in SUBSYSTEMS:
        return 1
    if folder == "setup" or folder.startswith("programs/"):
        return 2
    return None


def include_breach(source, target):
    """Why an include of target from source breaks the layering, or None."""
    here, there = unit(source), unit(target)
    if here == there:
        return None
    if there in ("tests", "bench") or there.startswith("tools/"):
        return "product code includes " + there + "/"
    if here.startswith("tools/"):
        if there == "common" or (here, target) in HOST_SHARED:
            return None
        return "a host tool includes " + there + "/"
    if target in SANCTIONED and here in SUBSYSTEMS:
        return None
    low, high = layer(there), layer(here)
    if low is None or high is None:
        return None
    if here.startswith("programs/") and (there == "setup" or there.startswith("programs/")):
        return "a payload program includes " + there + "/"
    if low > high or (low == high and low != 1):
        return "upward include"
    return None


def find_cycle(edges):
    """A cycle in the folder graph as a list of folders, or None."""
    state = {}
    stack = []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = 2
        return None

    for node in sorted(edges):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    files = tracked(root)
    product = [f for f in files if layer(unit(f)) is not None or f.startswith("tools/")]
    breaches = []
    edges = {}
    includes = 0
    for source in product:
        if not source.endswith((".c", ".cpp", ".h", ".rc", ".def")):
            continue
        with open(os.path.join(root, source), encoding="latin-1") as f:
            text = f.read()
        for target in INCLUDE.findall(text):
            if "/" not in target:
                continue  # beside the including file
            includes += 1
            why = include_breach(source, target)
            if why:
                breaches.append("%s: #include \"%s\": %s" % (source, target, why))
            here, there = unit(source), unit(target)
            # The two sanctioned headers are the setup state and the notices
            # the sequence owns, read from below: no edge of the graph.
            if here != there and here in SUBSYSTEMS | {"setup", "common"} and \
                    target not in SANCTIONED:
                edges.setdefault(here, set()).add(there)
    cycle = find_cycle(edges)
    if cycle:
        breaches.append("folder cycle: " + " -> ".join(cycle))

    for script in files:
        if not (script.endswith("CMakeLists.txt") or script.endswith(".cmake")):
            continue
        folder = os.path.dirname(script)
        if folder.split("/")[0] in ("tests", "bench", "fuzz"):
            continue  # test and benchmark programs may build any source
        with open(os.path.join(root, script), encoding="utf-8") as f:
            text = f.read()
        for source in SOURCE.findall(text):
            if os.path.dirname(source) == folder or (folder, source) in BY_PATH_ALLOWED:
                continue
            if layer(unit(source)) is None:
                continue  # tests and benchmarks share their own sources
            breaches.append("%s: compiles %s by path" % (script, source))

    for line in breaches:
        print("LAYOUT: " + line, file=sys.stderr)
    print("layout: %d includes naming a folder in %d product files, %d breaches; folders: %s"
          % (includes, len(product), len(breaches),
             "; ".join("%s -> %s" % (k, ", ".join(sorted(v))) for k, v in sorted(edges.items()))))
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
