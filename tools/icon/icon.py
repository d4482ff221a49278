#!/usr/bin/env python3
"""Writes icon.ico, the setup program's icon: a screenplay page with a
dark red badge carrying a white "V", as a 32x32 and a 16x16 image in the
16-colour palette. The art is drawn here so the icon can be rebuilt
byte for byte: python3 tools/icon/icon.py resources/icon.ico."""
import struct
import sys

# The standard 16-colour palette, (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Characters of the art: '.' is transparent, the others palette indexes.
INK = {'K': 0, 'R': 1, 'S': 7, 'G': 8, 'r': 9, 'W': 15}

ART_32 = """
................................
....KKKKKKKKKKKKKKKKKK..........
....KWWWWWWWWWWWWWWWWKK.........
....KWWWWWWWWWWWWWWWWKWK........
....KWWWWWWWWWWWWWWWWKWWK.......
....KWWWWWWWWWWWWWWWWKKKKK......
....KWWWWWWWWWWWWWWWWWWWWKG.....
....KWWWWWWGGGGGWWWWWWWWWKG.....
....KWWWWWWWWWWWWWWWWWWWWKG.....
....KWWGGGGGGGGGGGGGGGGWWKG.....
....KWWGGGGGGGGGGGGGGWWWWKG.....
....KWWWWWWWWWWWWWWWWWWWWKG.....
....KWWWWWWWWGGGGGWWWWWWWKG.....
....KWWWWWSSSSSSSSSSSWWWWKG.....
....KWWWWWSSSSSSSSSWWWWWWKG.....
....KWWWWWWWWWWWWWWWWWWWWKG.....
....KWWGGGGGGGGGGGGGGGGWWKG.....
....KWWGGGGGGGGGGG..............
....KWWWWWWWWWWWWW.KKKKKKKKKKKK.
....KWWWWWWWWGGGG.KRRRRRRRRRRRRK
....KWWWWWSSSSSSS.KRWWRRRRRRWWRK
....KWWWWWSSSSSSS.KRWWRRRRRRWWRK
....KWWWWWWWWWWWW.KRrWWRRRRWWrRK
....KWWGGGGGGGGGG.KRRWWRRRRWWRRK
....KWWGGGGGGGGGG.KRRrWWRRWWrRRK
....KWWWWWWWWWWWW.KRRRWWRRWWRRRK
....KWWWWWWWWWWWW.KRRRrWWWWrRRRK
....KKKKKKKKKKKKK.KRRRRWWWWRRRRK
.....GGGGGGGGGGGG.KRRRRrWWrRRRRK
..................KRRRRRRRRRRRRK
...................KKKKKKKKKKKK.
................................
"""

ART_16 = """
................
.KKKKKKKK.......
.KWWWWWWKK......
.KWGGGWWKWK.....
.KWWWWWWKKKK....
.KWGGGGGGGWKG...
.KWWSSSSWWWKG...
.KWWWWWWWWWKG...
.KWGGGGG.KKKKKKK
.KWWWWWW.KWRRRWK
.KWWSSSS.KWRRRWK
.KWWWWWW.KRWRWRK
.KWGGGGG.KRWRWRK
.KWWWWWW.KRRWRRK
.KKKKKKK.KKKKKKK
..GGGGGG........
"""


def rows(art, size):
    lines = [line for line in art.strip('\n').split('\n')]
    assert len(lines) == size, (len(lines), size)
    for line in lines:
        assert len(line) == size, line
    return lines


def image(art, size):
    lines = rows(art, size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = b''
    mask = b''
    for line in reversed(lines):  # bitmaps run bottom-up
        nibbles = [INK.get(c, 0) for c in line]
        row = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += row.ljust(xor_stride, b'\0')
        bits = 0
        for c in line:
            bits = (bits << 1) | (1 if c == '.' else 0)
        mask += bits.to_bytes(size // 8, 'big').ljust(and_stride, b'\0')
    data = header + palette + xor + mask
    # A transparent pixel is black in the colour image and set in the mask.
    return data


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else 'icon.ico'
    images = [(32, image(ART_32, 32)), (16, image(ART_16, 16))]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    body = b''
    for size, data in images:
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
        body += data
    with open(out, 'wb') as f:
        f.write(directory + body)


if __name__ == '__main__':
    main()
