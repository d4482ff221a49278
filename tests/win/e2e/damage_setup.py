#!/usr/bin/env python3
"""Makes a damaged copy of a linked setup program by changing the bytes of
one "FILE" resource in place, as a bad download or a scratched disc would.

usage: damage_setup.py IN OUT flip ID       one byte in the middle inverted
       damage_setup.py IN OUT magic ID      the first byte changed, and the
                                            recorded CRC-32 made to match, so
                                            that only the container check
                                            can notice it
       damage_setup.py IN OUT untable 0     the table of CRC-32s made
                                            unfindable (its type renamed),
                                            the payload itself intact

The resources are found by walking the PE resource directory (type, id,
language) from the optional header's resource data directory.
"""
import struct
import sys
import zlib

RESOURCE_DIRECTORY = 2


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("damage_setup: not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise SystemExit("damage_setup: not a 32-bit PE file")
        self.resource_rva = struct.unpack_from("<I", data, optional + 96 + 8 * RESOURCE_DIRECTORY)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise SystemExit("damage_setup: RVA 0x%x lies in no section" % rva)

    def entries(self, directory):
        """(name or id, is_directory, offset) of one resource directory."""
        base = self.offset(self.resource_rva)
        named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, bool(target & 0x80000000), target & 0x7FFFFFFF

    def rename_type(self, kind, new):
        """Renames resource type kind in place (a name of the same length)."""
        base = self.offset(self.resource_rva)
        named, ids = struct.unpack_from("<HH", self.data, base + 12)
        for i in range(named):
            name = struct.unpack_from("<I", self.data, base + 16 + 8 * i)[0]
            at = base + (name & 0x7FFFFFFF)
            length = struct.unpack_from("<H", self.data, at)[0]
            if self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le") == kind:
                self.data[at + 2:at + 2 + 2 * length] = new.encode("utf-16-le")
                return
        raise SystemExit("damage_setup: no resource type %s" % kind)

    def resource(self, kind, ident):
        """File offset and size of the first language of resource kind/ident."""
        for name, is_dir, types in self.entries(0):
            if name != kind or not is_dir:
                continue
            for number, is_dir, languages in self.entries(types):
                if number != ident or not is_dir:
                    continue
                for _, is_dir, entry in self.entries(languages):
                    base = self.offset(self.resource_rva)
                    rva, size = struct.unpack_from("<II", self.data, base + entry)
                    return self.offset(rva), size
        raise SystemExit("damage_setup: no resource %s %s" % (kind, ident))


def main(argv):
    if len(argv) != 5 or argv[3] not in ("flip", "magic", "untable"):
        raise SystemExit(__doc__)
    source, output, how, ident = argv[1], argv[2], argv[3], int(argv[4])
    image = Image(bytearray(open(source, "rb").read()))
    if how == "untable":
        image.rename_type("FILECRC", "FILECRX")
        open(output, "wb").write(image.data)
        return
    at, size = image.resource("FILE", ident)
    if how == "flip":
        image.data[at + size // 2] ^= 0xFF
    else:
        image.data[at] ^= 0x20  # "SZDD" becomes "sZDD"
        table_at, table_size = image.resource("FILECRC", 1)
        for entry in range(table_at, table_at + table_size - 7, 8):
            if struct.unpack_from("<I", image.data, entry)[0] == ident:
                crc = zlib.crc32(bytes(image.data[at:at + size]))
                struct.pack_into("<I", image.data, entry + 4, crc)
                break
        else:
            raise SystemExit("damage_setup: no checksum recorded for %d" % ident)
    open(output, "wb").write(image.data)


if __name__ == "__main__":
    main(sys.argv)
