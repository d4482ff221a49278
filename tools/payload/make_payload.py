#!/usr/bin/env python3
"""Writes the payload's data files into resources/payload (or the folder
given), byte for byte the same on every run:

    python3 tools/payload/make_payload.py [folder]

The three programs of the payload are not written here: the build makes
them from programs/."""
import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import documents  # noqa: E402
import help  # noqa: E402
import lexicon  # noqa: E402
import screenplay  # noqa: E402
import setups  # noqa: E402
import texts  # noqa: E402


def files():
    dictionary, ordered = lexicon.dictionary()
    result = {
        "veltranox.exe.manifest": texts.manifest(),
        "Sample.scp": screenplay.sample(),
        "TV-3Cam.scp": screenplay.three_camera(),
        "TV-TapeLive.scp": screenplay.tape_live(),
        "tips.txt": texts.tips(),
        "license.txt": texts.licence(),
        "QuickRef.rtf": documents.quick_reference(),
        "More.rtf": documents.more(),
        "main.dct": dictionary,
        "bucket.bin": lexicon.buckets(ordered),
        "Veltranox.hlp": help.help_file(),
        "Veltranox.cnt": help.contents_file(),
        "thes.bin": lexicon.thesaurus(),
    }
    result.update(setups.colour_schemes())
    result.update(setups.print_setups())
    return result


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "payload")
    for name, data in sorted(files().items()):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
        print("%-24s %8d" % (name, len(data)))


if __name__ == "__main__":
    main()
