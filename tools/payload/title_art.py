#!/usr/bin/env python3
"""Writes the main program's title page (title.bmp, a 24-bit bitmap shown
until a script is opened) and its tutorial script (Tutorial.scp), byte for
byte the same on every run:

    python3 tools/payload/title_art.py

The title page is drawn here: a night-sky gradient with film grain, a film
strip, and the product name in block letters."""
import os
import struct
import sys

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
# Written beside the main program's sources.
OUT = os.path.join(HERE, "..", "..", "programs", "veltranox")

import screenplay  # noqa: E402

WIDTH, HEIGHT = 760, 480
TUTORIAL_SIZE = 243968
GRAIN = 7           # the grain spreads each channel over 16 levels

# 5x7 block letters.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    " ": ["00000"] * 7,
}


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[(0, 0, 0)] * width for _ in range(height)]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(y0, 0), min(y1, self.height)):
            row = self.pixels[y]
            for x in range(max(x0, 0), min(x1, self.width)):
                row[x] = colour

    def text(self, x, y, text, scale, colour, spacing=1):
        for ch in text:
            glyph = GLYPHS[ch]
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit == "1":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale,
                                  y + (gy + 1) * scale, colour)
            x += (5 + spacing) * scale

    def bmp(self):
        stride = (self.width * 3 + 3) & ~3
        rows = []
        for y in range(self.height - 1, -1, -1):      # bottom-up
            row = bytearray()
            for red, green, blue in self.pixels[y]:
                row += bytes((blue, green, red))
            rows.append(bytes(row.ljust(stride, b"\0")))
        image = b"".join(rows)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(image),
                           2835, 2835, 0, 0)
        header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
        return header + info + image


def text_width(text, scale, spacing=1):
    return len(text) * (5 + spacing) * scale - spacing * scale


def title_page():
    canvas = Canvas(WIDTH, HEIGHT)
    rng = screenplay.Random(0x71713)
    # Night sky: navy at the top to plum at the foot, with film grain.
    for y in range(HEIGHT):
        t = y / (HEIGHT - 1)
        base = (int(14 + 60 * t), int(18 + 10 * t), int(58 + 20 * t))
        row = canvas.pixels[y]
        for x in range(WIDTH):
            n = rng.next()
            row[x] = (max(0, min(255, base[0] + (n & 15) - GRAIN)),
                      max(0, min(255, base[1] + ((n >> 4) & 15) - GRAIN)),
                      max(0, min(255, base[2] + ((n >> 8) & 15) - GRAIN)))
    # A few stars.
    for _ in range(140):
        x, y = rng.below(WIDTH), rng.below(HEIGHT // 2)
        glow = 150 + rng.below(100)
        canvas.rect(x, y, x + 1 + (glow > 235), y + 1 + (glow > 235), (glow, glow, glow - 20))
    # The film strip.
    top, bottom = 300, 400
    canvas.rect(0, top, WIDTH, bottom, (12, 10, 12))
    for x in range(8, WIDTH, 28):
        canvas.rect(x, top + 8, x + 14, top + 18, (214, 206, 190))
        canvas.rect(x, bottom - 18, x + 14, bottom - 8, (214, 206, 190))
    for number, x in enumerate(range(20, WIDTH - 100, 120)):
        shade = 40 + (number * 23) % 60
        canvas.rect(x, top + 26, x + 104, bottom - 26, (shade, shade - 10, shade + 15))
        canvas.rect(x + 30, top + 34, x + 74, bottom - 34, (shade + 40, shade + 25, shade + 10))
    # The name, its shadow and the line under it.
    name, scale = "VELTRANOX", 12
    x = (WIDTH - text_width(name, scale)) // 2
    canvas.text(x + 6, 66, name, scale, (8, 6, 14))
    canvas.text(x, 60, name, scale, (236, 190, 84))
    year = "2003"
    canvas.text((WIDTH - text_width(year, 6)) // 2, 168, year, 6, (250, 238, 210))
    tagline = "PROFESSIONAL SCREENWRITING SOFTWARE"
    canvas.text((WIDTH - text_width(tagline, 3)) // 2, 236, tagline, 3, (200, 196, 220))
    canvas.rect(80, 270, WIDTH - 80, 272, (236, 190, 84))
    return canvas.bmp()


def main():
    with open(os.path.join(OUT, "title.bmp"), "wb") as out:
        out.write(title_page())
    with open(os.path.join(OUT, "Tutorial.scp"), "wb") as out:
        out.write(screenplay.tutorial(TUTORIAL_SIZE))


if __name__ == "__main__":
    main()
