#!/usr/bin/env python3
"""Writes the symbol file of a program: its build number, link-time base
and SHA-256, then the start of each of its functions at that base and the
end of its code (the format is in server/symbols.py).

usage: symbol_file.py --nm NM --objcopy OBJCOPY --objdump OBJDUMP --build N
                      PROGRAM UNSTRIPPED OUT

PROGRAM is the program as shipped (stripped, perhaps signed); UNSTRIPPED
the same objects linked without stripping. Its code must be PROGRAM's byte
for byte (checked here), so that its symbols name PROGRAM's addresses.
"""
import argparse
import hashlib
import os
import re
import subprocess
import sys


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


def code_of(objcopy, path):
    return run(objcopy, "-O", "binary", "-j", ".text", path, "/dev/stdout")


def image_base(objdump, path):
    found = re.search(rb"^ImageBase\s+([0-9a-fA-F]+)$", run(objdump, "-p", path), re.M)
    if not found:
        sys.exit("symbol_file: no ImageBase in %s" % path)
    return int(found.group(1), 16)


def code_range(objdump, path):
    """(start, end) of the .text section, as linked."""
    for line in run(objdump, "-h", path).decode().splitlines():
        parts = line.split()
        if len(parts) >= 4 and parts[1] == ".text":
            size, start = int(parts[2], 16), int(parts[3], 16)
            return start, start + size
    sys.exit("symbol_file: no .text section in %s" % path)


def plain_name(demangled, raw):
    """The name without parameters, namespaces of the file's own
    (anonymous), the C prefix or a stdcall suffix: "install_entry"."""
    name = demangled.replace("(anonymous namespace)::", "")
    if name == raw:  # a C symbol as the linker spells it: _name, _name@8
        name = name[1:] if name.startswith("_") else name
    name = re.sub(r"@\d+\Z", "", name)
    if "(" in name[1:] and not name.startswith("operator()"):
        depth, cut = 0, len(name)
        for i, c in enumerate(name):
            if c == "<":
                depth += 1
            elif c == ">":
                depth -= 1
            elif c == "(" and depth == 0 and i > 0:
                cut = i
                break
        name = name[:cut]
    return name.strip() or raw


def functions(nm, path, start, end):
    """{address: plain name} of the functions in [start, end)."""
    raw = run(nm, "--defined-only", "-n", path).decode().splitlines()
    demangled = run(nm, "--defined-only", "-n", "-C", path).decode().splitlines()
    if len(raw) != len(demangled):
        sys.exit("symbol_file: nm gave two different listings of %s" % path)
    found = {}
    for line, shown in zip(raw, demangled):
        parts, shown_parts = line.split(" ", 2), shown.split(" ", 2)
        if len(parts) != 3 or parts[1] not in ("T", "t") or parts[2].startswith("."):
            continue
        address = int(parts[0], 16)
        if not start <= address < end:
            continue
        name = plain_name(shown_parts[2], parts[2])
        # One name an address: the program's own spelling before a
        # runtime's alias (no leading underscore), then the shorter.
        best = found.get(address)
        if best is None or (name.startswith("_"), len(name), name) < \
                (best.startswith("_"), len(best), best):
            found[address] = name
    return found


def main():
    parser = argparse.ArgumentParser()
    for option in ("--nm", "--objcopy", "--objdump", "--build"):
        parser.add_argument(option, required=True)
    parser.add_argument("program")
    parser.add_argument("unstripped")
    parser.add_argument("out")
    args = parser.parse_args()
    if code_of(args.objcopy, args.program) != code_of(args.objcopy, args.unstripped):
        sys.exit("symbol_file: the code of %s differs from %s" % (args.unstripped, args.program))
    base = image_base(args.objdump, args.unstripped)
    if base != image_base(args.objdump, args.program):
        sys.exit("symbol_file: %s and %s have other bases" % (args.program, args.unstripped))
    start, end = code_range(args.objdump, args.unstripped)
    names = functions(args.nm, args.unstripped, start, end)
    if not names:
        sys.exit("symbol_file: no functions in %s" % args.unstripped)
    with open(args.program, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    lines = ["program " + os.path.basename(args.program), "build %03d" % int(args.build),
             "base %08X" % base, "sha256 " + digest]
    lines += ["%08X %s" % (address, names[address]) for address in sorted(names)]
    lines.append("%08X etext" % end)
    temporary = args.out + ".tmp"
    with open(temporary, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(temporary, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
