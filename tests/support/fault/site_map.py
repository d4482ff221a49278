#!/usr/bin/env python3
"""Names the code of a program for the fault walk.

usage: site_map.py NM OBJCOPY RELEASE TWIN OUT OBJECT...

TWIN is the program linked again without stripping its symbols, from the
same objects; its code must be the release's byte for byte (checked here),
so that the release's return addresses name the twin's functions. OUT gets
one line per function: its offset in the image (hex), 1 when it comes
from one of the OBJECTs (the program's own code) or 0 (the C runtime and
other library code), and its name.
"""
import subprocess
import sys


def code_of(objcopy, path):
    out = subprocess.run([objcopy, "-O", "binary", "-j", ".text", path, "/dev/stdout"],
                         check=True, capture_output=True).stdout
    return out


def text_symbols(nm, paths, with_addresses, kinds=("T", "t")):
    out = subprocess.run([nm, "-C", "--defined-only"] + (["-n"] if with_addresses else []) + paths,
                         check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        parts = line.split(" ", 2)
        # Section symbols (".text") name no function.
        if len(parts) == 3 and parts[1] in kinds and not parts[2].startswith("."):
            yield int(parts[0], 16), parts[2]


def main():
    nm, objcopy, release, twin, out = sys.argv[1:6]
    objects = sys.argv[6:]
    if code_of(objcopy, release) != code_of(objcopy, twin):
        sys.exit("site_map: the code of %s differs from %s" % (twin, release))
    own = {name for _, name in text_symbols(nm, objects, False)}
    base = next(a for a, n in text_symbols(nm, [twin], True, ("A", "a", "D", "d", "T", "t", "B", "b", "R", "r"))
                if n.endswith("image_base__"))
    with open(out, "w") as f:
        for address, name in text_symbols(nm, [twin], True):
            if address >= base:
                f.write("%x\t%d\t%s\n" % (address - base, 1 if name in own else 0, name))


main()
