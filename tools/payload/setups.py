"""Print setups (.stp) and colour schemes (.scm).

A print setup is an INI-style text file: a [Print Setup] section for the
page, then one section per script element with its margins (inches from
the paper's left edge), blank lines before it, capitals, alignment and
spacing. A colour scheme is a 64-byte binary record:

    offset  size  field
    0       4     magic "VSCM"
    4       2     format version (1)
    6       2     number of colours (13)
    8       52    13 colours, COLORREF (0x00BBGGRR), in the order of ROLES
    60      2     flags: bit 0 set when the page is dark
    62      2     checksum: the sum of bytes 0..61, modulo 65536
"""
import struct

from texts import crlf

ELEMENTS = ["Scene Heading", "Action", "Character", "Parenthetical", "Dialogue",
            "Transition", "Shot"]

# Element: left, right, lines before, capitals, alignment, line spacing.
FEATURE = {
    "Scene Heading": (1.5, 7.5, 2, 1, "Left", 1),
    "Action": (1.5, 7.5, 1, 0, "Left", 1),
    "Character": (4.2, 7.5, 1, 1, "Left", 1),
    "Parenthetical": (3.6, 5.6, 0, 0, "Left", 1),
    "Dialogue": (2.9, 6.2, 0, 0, "Left", 1),
    "Transition": (6.0, 7.5, 1, 1, "Right", 1),
    "Shot": (1.5, 7.5, 2, 1, "Left", 1),
}


def adjust(base, **changes):
    result = dict(base)
    for key, value in changes.items():
        result[key.replace('_', ' ')] = value
    return result


THREE_CAMERA = adjust(FEATURE,
                      Scene_Heading=(1.5, 7.5, 2, 1, "Left", 1),
                      Action=(1.5, 7.5, 1, 1, "Left", 1),
                      Dialogue=(2.5, 6.5, 0, 0, "Left", 2),
                      Parenthetical=(3.0, 5.5, 0, 0, "Left", 2))

PLAY = {
    "Scene Heading": (1.5, 7.5, 2, 1, "Center", 1),
    "Action": (3.5, 7.5, 1, 0, "Left", 1),
    "Character": (1.5, 7.5, 1, 1, "Center", 1),
    "Parenthetical": (3.5, 6.5, 0, 0, "Left", 1),
    "Dialogue": (1.5, 7.5, 0, 0, "Left", 1),
    "Transition": (6.0, 7.5, 1, 1, "Right", 1),
    "Shot": (1.5, 7.5, 2, 1, "Left", 1),
}

# Name, description, page settings, elements, extra sections.
SETUPS = [
    ("Feature_Loose", "Feature film, generous spacing (about 50 lines a page)",
     {"LinesPerPage": 50, "TopMargin": "1.00", "BottomMargin": "1.00"}, FEATURE, {}),
    ("Feature", "Feature film, standard layout",
     {"LinesPerPage": 55, "TopMargin": "1.00", "BottomMargin": "0.75"}, FEATURE, {}),
    ("Feature_Tight", "Feature film, tight spacing (about 58 lines a page)",
     {"LinesPerPage": 58, "TopMargin": "0.75", "BottomMargin": "0.50"}, FEATURE, {}),
    ("Play_Alternate", "Stage play, names left and dialogue indented",
     {"LinesPerPage": 54, "TopMargin": "1.00", "BottomMargin": "1.00"},
     adjust(PLAY, Character=(1.5, 3.5, 1, 1, "Left", 1), Dialogue=(3.5, 7.5, 0, 0, "Left", 1)),
     {}),
    ("Play", "Stage play, names centred and stage directions in parentheses",
     {"LinesPerPage": 54, "TopMargin": "1.00", "BottomMargin": "1.00"}, PLAY,
     {"Act": (1.5, 7.5, 0, 1, "Center", 1), "Scene Break": (1.5, 7.5, 2, 1, "Center", 1),
      "Stage Direction": (3.5, 7.5, 1, 0, "Left", 1)}),
    ("Proof_DblSpc", "Proof copy, everything double-spaced",
     {"LinesPerPage": 46, "TopMargin": "1.00", "BottomMargin": "1.00"},
     {k: v[:5] + (2,) for k, v in FEATURE.items()}, {}),
    ("Proof_Left", "Proof copy, wide left margin for notes",
     {"LinesPerPage": 55, "TopMargin": "1.00", "BottomMargin": "0.75"},
     {k: (v[0] + 1.0, v[1]) + v[2:] for k, v in FEATURE.items()}, {}),
    ("Proof_Right", "Proof copy, wide right margin for notes",
     {"LinesPerPage": 55, "TopMargin": "1.00", "BottomMargin": "0.75"},
     {k: (v[0] - 0.5, v[1] - 1.5) + v[2:] for k, v in FEATURE.items()}, {}),
    ("TV-TapeLive", "Taped or live television",
     {"LinesPerPage": 52, "TopMargin": "1.00", "BottomMargin": "1.00"}, THREE_CAMERA, {}),
    ("TV-ThreeCamera2", "Three-camera comedy, act breaks on new pages",
     {"LinesPerPage": 52, "TopMargin": "1.00", "BottomMargin": "0.75"}, THREE_CAMERA, {}),
    ("TV-ThreeCamera", "Three-camera comedy",
     {"LinesPerPage": 54, "TopMargin": "1.00", "BottomMargin": "0.75"}, THREE_CAMERA, {}),
    ("TV-Filmed", "Filmed television, one hour",
     {"LinesPerPage": 55, "TopMargin": "1.00", "BottomMargin": "0.75"}, FEATURE, {}),
    ("Vask&Orle", "Vask & Orle agency layout",
     {"LinesPerPage": 56, "TopMargin": "0.90", "BottomMargin": "0.70"},
     adjust(FEATURE, Character=(4.0, 7.5, 1, 1, "Left", 1)), {}),
    ("Quenwald", "Quenwald agency layout",
     {"LinesPerPage": 55, "TopMargin": "1.00", "BottomMargin": "1.00"},
     adjust(FEATURE, Transition=(5.5, 7.5, 1, 1, "Left", 1)), {}),
    ("AMPAS", "Academy screenwriting competition layout",
     {"LinesPerPage": 55, "TopMargin": "1.00", "BottomMargin": "1.00"}, FEATURE, {}),
]


def print_setup(name, description, page, elements, extra):
    lines = ["; Veltranox print setup", "[Print Setup]", "Name=%s" % name,
             "Description=%s" % description, "Version=3", "Paper=Letter",
             "Font=Courier New", "FontSize=12"]
    lines += ["%s=%s" % item for item in page.items()]
    lines += ["PageNumbers=TopRight,SkipFirst", "More=(MORE)", "Continued=(CONT'D)",
              "ActBreaks=%d" % (1 if name.startswith("TV-") else 0),
              "KeepSceneHeadings=1", "DialogueWidows=2", "Header=", "Footer=", ""]
    for element, value in list(elements.items()) + list(extra.items()):
        left, right, before, caps, align, spacing = value
        lines += ["[%s]" % element, "Left=%.2f" % left, "Right=%.2f" % right,
                  "Before=%d" % before, "Caps=%d" % caps, "Align=%s" % align,
                  "Spacing=%d" % spacing, ""]
    return crlf('\n'.join(lines))


def print_setups():
    return {name + ".stp": print_setup(name, *rest) for name, *rest in SETUPS}


ROLES = ["page", "text", "scene heading", "action", "character", "parenthetical",
         "dialogue", "transition", "shot", "note background", "note text", "selection",
         "page break"]


def rgb(value):
    red, green, blue = (value >> 16) & 255, (value >> 8) & 255, value & 255
    return red | (green << 8) | (blue << 16)


# Colours as 0xRRGGBB, in the order of ROLES.
SCHEMES = {
    "BlackWhite": [0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF,
                   0xFFFFFF, 0xFFFFFF, 0x404040, 0xFFFF80, 0x808080, 0x606060],
    "Blue": [0x102060, 0xF0F0F0, 0xFFFF80, 0xF0F0F0, 0x80FFFF, 0xC0C0FF, 0xFFFFFF,
             0xFFC080, 0xFFFF80, 0x203880, 0xFFFFC0, 0x3050C0, 0x4060A0],
    "Brown": [0xF4E8D0, 0x402810, 0x803000, 0x402810, 0x602000, 0x806040, 0x301808,
              0x803000, 0x803000, 0xE8D0A0, 0x402810, 0xC8A870, 0xB09060],
    "Purple": [0x301040, 0xF0E0F0, 0xFFC0FF, 0xF0E0F0, 0xFFFFC0, 0xD0B0E0, 0xFFFFFF,
               0xFFC0FF, 0xFFC0FF, 0x482060, 0xFFFFC0, 0x6040A0, 0x604070],
    "White": [0xFFFFFF, 0x000000, 0x000000, 0x000000, 0x000000, 0x404040, 0x000000,
              0x000000, 0x000000, 0xFFFFC0, 0x000000, 0xC0C0C0, 0xA0A0A0],
    "Salmon": [0xFFE0D0, 0x301010, 0x802020, 0x301010, 0x600000, 0x805050, 0x200808,
               0x802020, 0x802020, 0xFFC8B0, 0x301010, 0xE0A090, 0xD09080],
    "Forest": [0x103018, 0xE0F0E0, 0xC0FFC0, 0xE0F0E0, 0xFFFFC0, 0xB0D0B0, 0xFFFFFF,
               0xC0FFC0, 0xC0FFC0, 0x204828, 0xFFFFC0, 0x306840, 0x407050],
    "Yellow": [0xFFFFD0, 0x202000, 0x604000, 0x202000, 0x403000, 0x606040, 0x101000,
               0x604000, 0x604000, 0xF0F0A0, 0x202000, 0xE0E080, 0xC0C070],
}


def colour_scheme(colours):
    assert len(colours) == len(ROLES)
    page = colours[0]
    dark = ((page >> 16) & 255) + ((page >> 8) & 255) + (page & 255) < 384
    body = b"VSCM" + struct.pack("<HH", 1, len(colours))
    body += b"".join(struct.pack("<I", rgb(c)) for c in colours)
    body += struct.pack("<H", 1 if dark else 0)
    body += struct.pack("<H", sum(body) & 0xFFFF)
    assert len(body) == 64
    return body


def colour_schemes():
    return {name + ".scm": colour_scheme(colours) for name, colours in SCHEMES.items()}
