#!/usr/bin/env python3
"""Moves a 32-bit Windows program to another base the way the loader does
when it cannot use the one the program was linked at: every address its
relocation table lists is moved by the difference, and the header names
the new base, where Wine then maps it. Windows loads a program linked with
relocations at a random base on every boot; Wine at its link-time base,
so a test runs such a moved copy to see the program elsewhere.

usage: rebase_image.py IN OUT BASE
"""
import struct
import sys

HIGHLOW, PADDING = 3, 0


def main():
    source, target, base = sys.argv[1], sys.argv[2], int(sys.argv[3], 0)
    with open(source, "rb") as f:
        data = bytearray(f.read())
    pe, = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0" or struct.unpack_from("<H", data, pe + 24)[0] != 0x10B:
        sys.exit("rebase_image: %s is no 32-bit Windows program" % source)
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], \
        struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    linked, = struct.unpack_from("<I", data, optional + 28)
    table, table_size = struct.unpack_from("<II", data, optional + 96 + 5 * 8)
    if not table_size:
        sys.exit("rebase_image: %s has no relocations" % source)
    sections = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
                for i in range(count)]

    def offset(rva):
        for _, start, raw_size, raw in sections:
            if start <= rva < start + raw_size:
                return raw + rva - start
        sys.exit("rebase_image: address %08X is in no section's bytes" % rva)

    delta = (base - linked) & 0xFFFFFFFF
    at = offset(table)
    end = at + table_size
    moved = 0
    while at + 8 <= end:
        page, size = struct.unpack_from("<II", data, at)
        if size < 8:
            break
        for i in range((size - 8) // 2):
            entry, = struct.unpack_from("<H", data, at + 8 + 2 * i)
            kind = entry >> 12
            if kind == HIGHLOW:
                where = offset(page + (entry & 0xFFF))
                value, = struct.unpack_from("<I", data, where)
                struct.pack_into("<I", data, where, (value + delta) & 0xFFFFFFFF)
                moved += 1
            elif kind != PADDING:
                sys.exit("rebase_image: relocation type %d" % kind)
        at += size
    struct.pack_into("<I", data, optional + 28, base)
    with open(target, "wb") as f:
        f.write(data)
    print("rebase_image: %s from %08X to %08X, %d addresses moved" % (target, linked, base, moved))
    return 0


if __name__ == "__main__":
    sys.exit(main())
