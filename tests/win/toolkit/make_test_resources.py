#!/usr/bin/python3
"""Makes the two resources that the toolkit's Windows tests carry, and writes them beside this script:

  zelnsoft2012-test.ttf  a few glyphs of DejaVu Sans (fonts-dejavu-core) renamed to the family "Zelnsoft2012",
                         the family name the toolkit asks a private font collection for;
  state-*.png            2 x 2 opaque pictures of one colour each, one per look of a button: normal grey,
                         hover green, pressed blue, disabled red;
  quadrants.png          a 2 x 2 picture of four different pixels: red and green on top, half-transparent
                         blue and transparent below, which shows a picture's orientation and alpha;
  *@2x.png               the double-size forms (resource type "PNG2X") of the normal look, 4 x 4 of orange so
                         that it shows which form a button drew, and of the quadrants, each pixel 2 x 2.

Needs Debian's python3-fonttools. The outputs are checked in; run this again only to change them.
"""
import struct
import sys
import zlib
from pathlib import Path

from fontTools import subset
from fontTools.ttLib import TTFont

HERE = Path(__file__).resolve().parent
SOURCE_FONT = Path("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")
FAMILY = "Zelnsoft2012"
TEXT = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 %."


def make_font(target):
    font = TTFont(SOURCE_FONT)
    options = subset.Options()
    # The copyright and licence records (0, 13, 14) travel with the glyphs, as the licence asks.
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14]
    options.layout_features = []
    options.hinting = False
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=TEXT)
    subsetter.subset(font)
    # A modified DejaVu must not carry its name; the toolkit looks the family up by this one.
    names = {1: FAMILY, 3: FAMILY + " Test", 4: FAMILY, 6: FAMILY}
    table = font["name"]
    for record in list(table.names):
        if record.nameID in names:
            table.setName(names[record.nameID], record.nameID, record.platformID, record.platEncID, record.langID)
    font.save(target)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


STATES = {"normal": (128, 128, 128), "hover": (0, 255, 0), "pressed": (0, 0, 255), "disabled": (255, 0, 0)}


QUADRANTS = [[(255, 0, 0, 255), (0, 255, 0, 255)], [(0, 0, 255, 128), (0, 0, 0, 0)]]
NORMAL_DOUBLE_SIZE = (255, 128, 0)


def doubled(rows):
    """Each pixel as 2 x 2 pixels."""
    return [[pixel for pixel in row for _ in range(2)] for row in rows for _ in range(2)]


def make_png(target, rows):
    """An 8-bit RGBA PNG of the given rows of (r, g, b, a) pixels."""
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    data = b"".join(b"\x00" + b"".join(bytes(pixel) for pixel in row) for row in rows)
    target.write_bytes(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
                       + png_chunk(b"IDAT", zlib.compress(data, 9)) + png_chunk(b"IEND", b""))


if __name__ == "__main__":
    make_font(HERE / "zelnsoft2012-test.ttf")
    for state, rgb in STATES.items():
        make_png(HERE / f"state-{state}.png", [[rgb + (255,)] * 2] * 2)
    make_png(HERE / "quadrants.png", QUADRANTS)
    make_png(HERE / "state-normal@2x.png", [[NORMAL_DOUBLE_SIZE + (255,)] * 4] * 4)
    make_png(HERE / "quadrants@2x.png", doubled(QUADRANTS))
    sys.exit(0)
