#!/usr/bin/env python3
"""Builds the resources that Tallykey carries: icons, image-list bitmaps,
the copy sound and the Russian language file, and the icons that an
installed copy gives the desktop.

Usage:  python3 scripts/make_resources.py [--preview DIR]

Writes into resources/ beside this script's folder, and the desktop's icons
(the hicolor theme's sizes) into packaging/icons/hicolor/.  Only the Python
standard library is used, plus ImageMagick's `convert` to read the Tango icons
(Debian package tango-icon-theme, public domain) that some node icons are
taken from.  Every other picture is drawn here, pixel by pixel or from simple
shapes, and the sound is synthesised.  Running the script twice gives
byte-identical files.

With --preview DIR it also writes enlarged previews (x4) of the two image
lists and the icons into DIR for checking by eye; they are not committed.
"""

import math
import os
import struct
import subprocess
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "resources")
HICOLOR = os.path.join(ROOT, "packaging", "icons", "hicolor")
TANGO = "/usr/share/icons/Tango/16x16"

# An image is (width, height, pixels): pixels a flat list of (r, g, b, a).


def blank(w, h):
    return (w, h, [(0, 0, 0, 0)] * (w * h))


# ---------------------------------------------------------------- file writers

def png_bytes(img):
    w, h, px = img
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            raw.extend(px[y * w + x])

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def bmp_header(w, h, bpp, image_size, palette_entries):
    offset = 14 + 40 + 4 * palette_entries
    return (b"BM" + struct.pack("<IHHI", offset + image_size, 0, 0, offset)
            + struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size,
                          2835, 2835, palette_entries, palette_entries))


def bmp24_bytes(w, h, rgb):
    """rgb: flat list of (r, g, b), top row first; written bottom-up."""
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = rgb[y * w + x]
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    return bmp_header(w, h, 24, len(data), 0) + bytes(data)


def bmp4_bytes(w, h, palette, idx):
    """palette: 16 (r, g, b); idx: flat list of palette indices, top row first."""
    assert len(palette) == 16
    row = ((w * 4 + 31) // 32) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(0, w, 2):
            hi = idx[y * w + x]
            lo = idx[y * w + x + 1] if x + 1 < w else 0
            line.append((hi << 4) | lo)
        data += line + b"\0" * (row - len(line))
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return bmp_header(w, h, 4, len(data), 16) + pal + bytes(data)


def ico_bytes(images):
    """Windows icon with one 32-bit DIB entry (colour + AND mask) per image,
    which every Windows version reads."""
    entries, blobs = [], []
    for w, h, px in images:
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = px[y * w + x]
                xor += bytes((b, g, r, a))
        mrow = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            bits = bytearray(mrow)
            for x in range(w):
                if px[y * w + x][3] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        hdr = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0,
                          len(xor) + len(mask), 0, 0, 0, 0)
        blobs.append(hdr + bytes(xor) + bytes(mask))
        entries.append((w, h))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (w, h), blob in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32,
                           len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def write(name, data, folder=RES):
    path = os.path.join(folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), len(data)))


# ------------------------------------------------------------------ pixel art

# Colours of the hand-drawn pictures, mostly from the Tango palette.  No
# visible colour is pure black: black is the transparent colour of the node
# image list.
PAL = {
    ".": None,
    "k": (46, 52, 54), "K": (85, 87, 83), "g": (136, 138, 133),
    "G": (186, 189, 182), "h": (211, 215, 207), "W": (238, 238, 236),
    "w": (255, 255, 255),
    "y": (252, 233, 79), "Y": (237, 212, 0), "z": (196, 160, 0),
    "o": (252, 175, 62), "O": (245, 121, 0), "q": (206, 92, 0),
    "n": (233, 185, 110), "N": (193, 125, 17), "m": (143, 89, 2),
    "e": (138, 226, 52), "E": (115, 210, 22), "f": (78, 154, 6),
    "b": (114, 159, 207), "B": (52, 101, 164), "d": (32, 74, 135),
    "p": (173, 127, 168), "P": (117, 80, 123), "u": (92, 53, 102),
    "r": (239, 41, 41), "R": (204, 0, 0), "x": (164, 0, 0),
    "s": (250, 212, 170), "S": (224, 172, 120), "t": (150, 100, 60),
}


def art(*layers):
    """A 16 x 16 picture from one or more character grids; later layers
    paint over earlier ones where they are not '.'."""
    img = [(0, 0, 0, 0)] * 256
    for rows in layers:
        assert len(rows) == 16, rows
        for y, row in enumerate(rows):
            assert len(row) == 16, (y, row)
            for x, ch in enumerate(row):
                c = PAL[ch]
                if c is not None:
                    img[y * 16 + x] = c + (255,)
    return (16, 16, img)


ART = {}

ART["lock"] = art([
    "................",
    ".....KKKKKK.....",
    "....KGhhhhGK....",
    "...KGK....KGK...",
    "...KhK....KhK...",
    "...KhK....KhK...",
    "...KhK....KhK...",
    "..mmmmmmmmmmmm..",
    "..myyyyyyyyyym..",
    "..myYYYYYYYYzm..",
    "..myYYYkkYYYzm..",
    "..myYYYkkYYYzm..",
    "..myYYYYkYYYzm..",
    "..myYYYYYYYYzm..",
    "..mzzzzzzzzzzm..",
    "..mmmmmmmmmmmm..",
])

ART["key"] = art([
    "................",
    "...mmmmm........",
    "..myyyyym.......",
    ".myyYYYYzm......",
    ".myYm..mYzm.....",
    ".myY....mzm.....",
    ".myY....mzm.....",
    ".myYm..mzzm.....",
    "..mzYYYzzzmm....",
    "...mmzzzzyym....",
    ".......myyYzm...",
    "........mmYYzm..",
    ".......mYm.mYzm.",
    "........mYmYzm..",
    ".........mzzm...",
    "..........mm....",
])

ART["card"] = art([
    "................",
    "................",
    "................",
    ".kkkkkkkkkkkkkk.",
    "kbbbbbbbbbbbbbbk",
    "kKKKKKKKKKKKKKKk",
    "kKKKKKKKKKKKKKKk",
    "kBBBBBBBBBBBBBBk",
    "kBmmmmBBBBBBBBBk",
    "kBmyYmBBBBBBBBBk",
    "kBmYzmBBwwBwwBBk",
    "kBmmmmBBBBBBBBBk",
    "kddddddddddddddk",
    ".kkkkkkkkkkkkkk.",
    "................",
    "................",
])

ART["bank"] = art([
    "................",
    ".......kk.......",
    ".....kkGGkk.....",
    "...kkGGWWGGkk...",
    ".kkGGWWWWWWGGkk.",
    "kGGGGGGGGGGGGGGk",
    "kkkkkkkkkkkkkkkk",
    ".hg..hg..hg..hg.",
    ".hg..hg..hg..hg.",
    ".hg..hg..hg..hg.",
    ".hg..hg..hg..hg.",
    ".hg..hg..hg..hg.",
    ".kk..kk..kk..kk.",
    "kkkkkkkkkkkkkkkk",
    "kGGGGGGGGGGGGGGk",
    "kkkkkkkkkkkkkkkk",
])

ART["money"] = art([
    "................",
    "...fffffffffffff",
    "...feeeeeeeeeeef",
    "ffffffffffffffef",
    "feeeeeeeeeeeefef",
    "feEeeeeffeeeEfef",
    "feeeeefEEfeeefef",
    "feeeeefEEfeeefff",
    "feEeeeeffeeeEf..",
    "feeeeeeeeemmmm..",
    "fffffffffmyyyym.",
    ".........myYYYzm",
    "........myYmmYzm",
    "........myYYYYzm",
    "........mzzzzzzm",
    ".........mmmmmm.",
])


def wifi_art():
    """Three arcs over a dot, drawn from their radii."""
    rows = []
    for y in range(16):
        row = ""
        for x in range(16):
            dx, dy = x - 7.5, y - 13.0
            r = math.hypot(dx, dy)
            up = dy < 0 and abs(dx) <= -dy * 1.05
            ch = "."
            if r <= 1.6:
                ch = "d"
            elif up and any(a <= r <= a + 1.7 for a in (3.6, 7.0, 10.4)):
                ch = "B" if any(a + 0.6 <= r <= a + 1.2 for a in (3.6, 7.0, 10.4)) else "d"
            row += ch
        rows.append(row)
    return art(rows)


ART["wifi"] = wifi_art()

ART["mail"] = art([
    "................",
    "................",
    "................",
    "kkkkkkkkkkkkkkkk",
    "kgwwwwwwwwwwwwgk",
    "kwgwwwwwwwwwwgWk",
    "kwwgwwwwwwwwgwWk",
    "kwwwgwwwwwwgwwWk",
    "kwwwwggwwggwwwWk",
    "kwwwgwwggwwgwwWk",
    "kwwgwwwwwwwwgwWk",
    "kwgwwwwwwwwwwgWk",
    "kghhhhhhhhhhhhgk",
    "kkkkkkkkkkkkkkkk",
    "................",
    "................",
])

ART["gamepad"] = art([
    "................",
    "................",
    "................",
    "................",
    "..kkkkkkkkkkkk..",
    ".kGhhhhhhhhhhGk.",
    "kGGGkGGGGGGrGGGk",
    "kGGkkkGGGGbGeGGk",
    "kGGGkGGGGGGyGGGk",
    "kGGGGGGGGGGGGGgk",
    "kGGGggkkkkgGGGgk",
    "kGGgk......kGggk",
    "kGgk........kggk",
    ".kk..........kk.",
    "................",
    "................",
])

ART["laptop"] = art([
    "................",
    "................",
    "..kkkkkkkkkkkk..",
    "..kKKKKKKKKKKk..",
    "..kKbbbbbbbbKk..",
    "..kKbbbbbbbBKk..",
    "..kKbbbbbbBBKk..",
    "..kKbbbbbBBBKk..",
    "..kKbbbbBBBBKk..",
    "..kKKKKKKKKKKk..",
    ".kkkkkkkkkkkkkk.",
    "kGhhhhhhhhhhhhGk",
    "kGhKhKhKhKhKhhGk",
    "kGGGGGGGGGGGGGGk",
    ".kkkkkkkkkkkkkk.",
    "................",
])

ART["phone"] = art([
    "................",
    "................",
    "..xxxxxxxxxxxx..",
    ".xRRRRRRRRRRRRx.",
    "xRrrrrrrrrrrrrRx",
    "xRRxxxxxxxxxxRRx",
    "xxx..x....x..xxx",
    ".....x....x.....",
    "...xxxxxxxxxx...",
    "..xRrrrrrrrrRx..",
    "..xRwRwRwRrrRx..",
    ".xRrrrrrrrrrrRx.",
    ".xRwRwRwRrrrrRx.",
    ".xRrrrrrrrrrrRx.",
    ".xxxxxxxxxxxxxx.",
    "................",
])

ART["mobile"] = art([
    "....kkkkkkkk....",
    "...kKKKKKKKKk...",
    "...kKKKggKKKk...",
    "...kbbbbbbbbk...",
    "...kbwbbbbbBk...",
    "...kbbbbbbbBk...",
    "...kbbbbbbBBk...",
    "...kbbbbbbBBk...",
    "...kbbbbbBBBk...",
    "...kbbbbbBBBk...",
    "...kbbbbBBBBk...",
    "...kbbbBBBBBk...",
    "...kKKKKKKKKk...",
    "...kKKKGGKKKk...",
    "...kKKKKKKKKk...",
    "....kkkkkkkk....",
])

ART["cart"] = art([
    "kkk.............",
    "..kk............",
    "...kkkkkkkkkkkkk",
    "...kObOOObOOObOk",
    "...kbbbbbbbbbbk.",
    "....kOObOOObOOk.",
    "....kbbbbbbbbbk.",
    ".....kObOOObOk..",
    ".....kkkkkkkkk..",
    ".....k..........",
    "......kkkkkkkkk.",
    "................",
    "......kk....kk..",
    ".....kGgk..kGgk.",
    ".....kggk..kggk.",
    "......kk....kk..",
])

ART["gift"] = art([
    "................",
    "...kk......kk...",
    "..kyyk....kyyk..",
    "..kyzyk..kyzyk..",
    "...kkyykkyykk...",
    ".kkkkkkyykkkkkk.",
    ".kRRRRRyzRRRRRk.",
    ".kxxxxxyzxxxxxk.",
    ".kkkkkkyzkkkkkk.",
    "..kRRRRyzRRRRk..",
    "..kRrRRyzRRRRk..",
    "..kRRRRyzRRRRk..",
    "..kRRRRyzRRRxk..",
    "..kRRRRyzRRxxk..",
    "..kxxxxyzxxxxk..",
    "..kkkkkkkkkkkk..",
])

ART["user"] = art([
    "................",
    "......mmmm......",
    ".....mNNNNm.....",
    "....mNmmmmNm....",
    "....msssssSm....",
    "....ksssssSk....",
    ".....kssSSk.....",
    "......kkkk......",
    "....kkBBBBkk....",
    "...kBBbwwbBBk...",
    "..kBBBbwwbBBBk..",
    "..kBBBBwwBBBdk..",
    "..kBBBBBBBBBdk..",
    "..kBBBBBBBBddk..",
    "..kddddddddddk..",
    "..kkkkkkkkkkkk..",
])

ART["briefcase"] = art([
    "................",
    "................",
    ".....mmmmmm.....",
    "....mm....mm....",
    "....m......m....",
    ".mmmmmmmmmmmmmm.",
    "mnnnnnnnnnnnnnnm",
    "mnNNNNNNNNNNNNNm",
    "mNNNNNNNNNNNNNNm",
    "mmmmmmmYYmmmmmmm",
    "mNNNNNNYzNNNNNNm",
    "mNNNNNNNNNNNNNNm",
    "mNNNNNNNNNNNNNmm",
    "mmmmmmmmmmmmmmmm",
    "................",
    "................",
])

ART["star"] = art([
    ".......zz.......",
    ".......zz.......",
    "......zyyz......",
    "......zyYz......",
    ".....zyyYYz.....",
    "zzzzzzyyYYzzzzzz",
    ".zyyyyyyYYYYYYz.",
    "..zyyyyyYYYYYz..",
    "...zyyyyYYYYz...",
    "....zyyyYYYz....",
    "....zyyyYYYz....",
    "...zyyyzzYYYz...",
    "...zyyz..zYYz...",
    "..zyzz....zzYz..",
    "..zz........zz..",
    "................",
])

ART["shield"] = art([
    ".dddddddddddddd.",
    ".dbbbbbbBBBBBBd.",
    ".dbbbbbbBBBBBBd.",
    ".dbbbbbwwBBBBBd.",
    ".dbbbbwwwwBBBBd.",
    ".dbbbbwwwwBBBBd.",
    ".dbbbbbwwBBBBBd.",
    ".dBBBBbwwdddddd.",
    "..dBBBBwwddddd..",
    "..dBBBwwwddddd..",
    "...dBBBBBdddd...",
    "...dBBBBBdddd...",
    "....dBBBBddd....",
    ".....dBBBdd.....",
    "......dBdd......",
    ".......dd.......",
])

ART["database"] = art([
    "...kkkkkkkkkk...",
    ".kkhhhhhhhhhhkk.",
    "kGhWWWWWWWWWWhGk",
    "kgGGhhhhhhhhGGgk",
    "kBkkGGGGGGGGkkBk",
    "kbBBkkkkkkkkBBdk",
    "kbbBBBBBBBBBBBdk",
    "kBkkBBBBBBBBkkdk",
    "kbBBkkkkkkkkBBdk",
    "kbbBBBBBBBBBBBdk",
    "kBkkBBBBBBBBkkdk",
    "kbBBkkkkkkkkBBdk",
    "kbbBBBBBBBBBBBdk",
    ".kkBBBBBBBBBBkk.",
    "...kkkkkkkkkk...",
    "................",
])

ART["film"] = art([
    "................",
    "................",
    "kkkkkkkkkkkkkkkk",
    "kWKKWKKWKKWKKWKk",
    "kKKKKKKKKKKKKKKk",
    "kKbbbbbKKbbbbbKk",
    "kKbbbbbKKbbbbbKk",
    "kKbBBBbKKbBBBbKk",
    "kKbBfBbKKbBfBbKk",
    "kKffffbKKffffbKk",
    "kKeeeebKKeeeebKk",
    "kKKKKKKKKKKKKKKk",
    "kWKKWKKWKKWKKWKk",
    "kkkkkkkkkkkkkkkk",
    "................",
    "................",
])

ART["at"] = art([
    "................",
    ".....dddddd.....",
    "...ddBBBBBBdd...",
    "..dBB......BBd..",
    ".dB..........Bd.",
    ".dB...dddd.dBBd.",
    "dB...dBBBBdB.Bd.",
    "dB..dB....dB.Bd.",
    "dB..dB....dB.Bd.",
    "dB..dB...ddB.Bd.",
    "dB...dBBBdBBBd..",
    ".dB...ddd.ddd...",
    ".dB.............",
    "..dBB......Bd...",
    "...ddBBBBBBd....",
    ".....dddddd.....",
])

ART["car"] = art([
    "................",
    "................",
    "................",
    "....xxxxxxx.....",
    "...xbbxbbbbx....",
    "..xbwbxbwbbbx...",
    ".xRRRRRRRRRRRxx.",
    "xRrrrrrrrrrrrRRx",
    "xrRRRRRRRRRRRRyx",
    "xRRRRRRRRRRRRRRx",
    "xxxkkkxxxxkkkxxx",
    "..kKGKk..kKGKk..",
    "..kGhGk..kGhGk..",
    "..kKGKk..kKGKk..",
    "...kkk....kkk...",
    "................",
])

ART["plane"] = art([
    ".......kk.......",
    "......kbbk......",
    "......kbBk......",
    "......kbBk......",
    "......kbBk......",
    "....kkkbBkkk....",
    "..kkbbbbBBBBkk..",
    "kkbbbbbbBBBBBBkk",
    "kBBBBkkbBkkBBBBk",
    "kkkkk.kbBk.kkkkk",
    "......kbBk......",
    "......kbBk......",
    ".....kkbBkk.....",
    "....kbbbBBBk....",
    "....kkkkkkkk....",
    "................",
])

ART["school"] = art([
    "................",
    "................",
    ".......kk.......",
    ".....kkggkk.....",
    "...kkgggKKKkk...",
    ".kkgggKKKKKKKkk.",
    "kKKKKKKKKKKKKKKk",
    ".kkKKKKKKKKKKkYk",
    "...kkKKKKKKkk.Y.",
    "...kKkkKKkkKk.Y.",
    "...kKKKkkKKKk.Y.",
    "...kKKKKKKKKkYYY",
    "...kKKKKKKKKkYzY",
    "....kkKKKKkk....",
    "......kkkk......",
    "................",
])

ART["health"] = art([
    ".gggggggggggggg.",
    "gwwwwwwwwwwwwwwg",
    "gwwwwxxxxxxwwwwg",
    "gwwwwxrrrRxwwwwg",
    "gwwwwxrrRRxwwwwg",
    "gwxxxxrrRRxxxxwg",
    "gwxrrrrrRRRRRxwg",
    "gwxrrRRRRRRRRxwg",
    "gwxrRRRRRRRRRxwg",
    "gwxxxxrRRRxxxxwg",
    "gwwwwxrRRRxwwwwg",
    "gwwwwxrRRRxwwwwg",
    "gwwwwxxxxxxwwwwg",
    "gwwwwwwwwwwwwwwg",
    "gWWWWWWWWWWWWWWg",
    ".gggggggggggggg.",
])

ART["pin"] = art([
    ".....xxxxxx.....",
    "...xxrrrrrRxx...",
    "..xrrrrrrrrRRx..",
    "..xrrrxxxxrRRx..",
    ".xrrrxwwwwxRRRx.",
    ".xrrrxwwwwxRRRx.",
    ".xrrrxwwwwxRRxx.",
    ".xrrrrxxxxRRRxx.",
    "..xrrrrrRRRRxx..",
    "..xRRRRRRRRxxx..",
    "...xRRRRRRxxx...",
    "....xRRRRxxx....",
    ".....xRRxxx.....",
    "......xRxx......",
    ".......xx.......",
    ".....GGGGGG.....",
])

ART["clock"] = art([
    ".....kkkkkk.....",
    "...kkwwwwwwkk...",
    "..kwwwwKKwwwwk..",
    ".kwwwwwwwwwwwwk.",
    ".kwwwwwKwwwwwwk.",
    "kwwwwwwKwwwwwwWk",
    "kwwwwwwKwwwwwwWk",
    "kKwwwwwKKKKwwKWk",
    "kKwwwwwwRwwwwKWk",
    "kwwwwwwwwRwwwwWk",
    "kwwwwwwwwwRwwwWk",
    ".kwwwwwwwwwwwWk.",
    ".kwwwwwwwwwwWWk.",
    "..kwwwwKKwwWWk..",
    "...kkWWWWWWkk...",
    ".....kkkkkk.....",
])

ART["flag"] = art([
    "................",
    ".kk.............",
    ".kgkkkkk....kk..",
    ".kgOOOOOkkkkOqk.",
    ".kgOoooOOOOOOqk.",
    ".kgOoooOOOOOOqk.",
    ".kgOooOOOOOOOqk.",
    ".kgOOOOOOOOOqqk.",
    ".kgqqqqOOOOqqqk.",
    ".kgkkkkqqqqkkkk.",
    ".kg.....kkkk....",
    ".kg.............",
    ".kg.............",
    ".kg.............",
    ".kg.............",
    ".kk.............",
])

ART["tag"] = art([
    "................",
    "........mmmmmmm.",
    ".......myyyyyyym",
    "......myyyyymmym",
    ".....myyyyymwmYm",
    "....myyyyyyymmYm",
    "...myyyyyyyyyYYm",
    "..myyyyyyyyyYYzm",
    ".myyyyyyyyyYYzm.",
    "myyyyyyyyyYYzm..",
    "mzYyyyyyyYYzm...",
    ".mzYyyyyYYzm....",
    "..mzYyyYYzm.....",
    "...mzYYYzm......",
    "....mzzzm.......",
    ".....mmm........",
])


# ----------------------------------------------------- images from Tango icons

def tango(rel):
    """A Tango 16 x 16 icon as RGBA, read through ImageMagick."""
    path = os.path.join(TANGO, rel)
    raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"],
                         check=True, capture_output=True).stdout
    assert len(raw) == 16 * 16 * 4, (rel, len(raw))
    px = [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]
    return (16, 16, px)


# The node icons; the index is the icon number stored in database files.
# (name, source): source is a key of ART or a path below the Tango 16x16 folder.
NODE_ICONS = [
    ("Folder", "places/folder.png"),
    ("Open folder", "status/folder-open.png"),
    ("Padlock", "lock"),
    ("Envelope, mail", "mail"),
    ("Globe, web site", "categories/applications-internet.png"),
    ("Credit card", "card"),
    ("Bank", "bank"),
    ("Money", "money"),
    ("Computer", "devices/computer.png"),
    ("Laptop", "laptop"),
    ("Server", "places/network-server.png"),
    ("Network", "places/network-workgroup.png"),
    ("Wireless network", "wifi"),
    ("Telephone", "phone"),
    ("Mobile phone", "mobile"),
    ("Shopping cart", "cart"),
    ("Gift", "gift"),
    ("Key", "key"),
    ("User", "user"),
    ("Users, family", "apps/system-users.png"),
    ("Home", "actions/go-home.png"),
    ("Briefcase, work", "briefcase"),
    ("Star", "star"),
    ("Heart", "emblems/emblem-favorite.png"),
    ("Gear, settings", "emblems/emblem-system.png"),
    ("Shield", "shield"),
    ("Cloud", "status/weather-overcast.png"),
    ("Database", "database"),
    ("Document", "mimetypes/x-office-document.png"),
    ("Note", "apps/accessories-text-editor.png"),
    ("Calendar", "apps/office-calendar.png"),
    ("Music", "mimetypes/audio-x-generic.png"),
    ("Film", "film"),
    ("Camera", "devices/camera-photo.png"),
    ("Printer", "devices/printer.png"),
    ("Games", "gamepad"),
    ("Chat", "apps/internet-group-chat.png"),
    ("At sign, e-mail address", "at"),
    ("Car", "car"),
    ("Aeroplane, travel", "plane"),
    ("Address book", "mimetypes/x-office-address-book.png"),
    ("School, education", "school"),
    ("Health", "health"),
    ("Location pin", "pin"),
    ("Clock", "clock"),
    ("Flag", "flag"),
    ("Tag", "tag"),
    ("Light bulb, idea", "status/dialog-information.png"),
    ("Certificate, licence", "mimetypes/application-certificate.png"),
    ("Terminal", "apps/utilities-terminal.png"),
    ("Trash", "places/user-trash.png"),
]
assert len(NODE_ICONS) == 51
assert NODE_ICONS[17][1] == "key" and NODE_ICONS[0][1].endswith("folder.png")


def node_icon(src):
    return ART[src] if src in ART else tango(src)


def to_masked_rgb(img):
    """24-bit pixels for an image list whose transparent colour is black:
    half-transparent edge pixels are laid over white (the tree's background),
    the rest becomes black, and visible black is lifted off pure black."""
    w, h, px = img
    out = []
    for r, g, b, a in px:
        if a < 96:
            out.append((0, 0, 0))
            continue
        r = (r * a + 255 * (255 - a)) // 255
        g = (g * a + 255 * (255 - a)) // 255
        b = (b * a + 255 * (255 - a)) // 255
        if (r, g, b) == (0, 0, 0):
            r, g, b = 16, 16, 16
        out.append((r, g, b))
    return out


def make_node_strip():
    w = 16 * len(NODE_ICONS)
    strip = [(0, 0, 0)] * (w * 16)
    for i, (_, src) in enumerate(NODE_ICONS):
        rgb = to_masked_rgb(node_icon(src))
        for y in range(16):
            for x in range(16):
                strip[y * w + i * 16 + x] = rgb[y * 16 + x]
    return w, strip


# ----------------------------------------------------------- button glyphs

# 16-colour palette of the button glyph bitmap; entry 0 is the transparent
# magenta.
BTN_PAL = [
    (255, 0, 255), (46, 52, 54), (85, 87, 83), (136, 138, 133),
    (186, 189, 182), (238, 238, 236), (255, 255, 255), (32, 74, 135),
    (52, 101, 164), (114, 159, 207), (143, 89, 2), (193, 125, 17),
    (196, 160, 0), (252, 233, 79), (78, 154, 6), (204, 0, 0),
]
BTN_CH = {".": 0, "k": 1, "K": 2, "g": 3, "G": 4, "W": 5, "w": 6, "d": 7,
          "B": 8, "b": 9, "m": 10, "N": 11, "z": 12, "y": 13, "f": 14, "R": 15}

GLYPHS = [
    [  # copy: two overlapping sheets
        "kkkkkkkk......",
        "kwwwwwwk......",
        "kwKKKKwk......",
        "kwwwwwwk......",
        "kwKKKkkkkkkkk.",
        "kwwwwkwwwwwwkk",
        "kwKKKkwKKKKwWk",
        "kwwwwkwwwwwwwk",
        "kwKKKkwKKKKKwk",
        "kkkkkkwwwwwwwk",
        ".....kwKKKKKwk",
        ".....kwwwwwwwk",
        ".....kWWWWWWWk",
        ".....kkkkkkkkk",
    ],
    [  # web link: a globe
        "....dddddd....",
        "..ddbbBbbBdd..",
        ".dbbwbBbbbBBd.",
        ".dbwbbBbbbBBd.",
        "dBBBBBBBBBBBBd",
        "dbbbbBbbbBbbBd",
        "dbbbbBbbbBbBBd",
        "dbbbbBbbbBbBBd",
        "dBBBBBBBBBBBBd",
        "dbbbbBbbbBBBBd",
        ".dbbbBbbBBBBd.",
        ".dBbbBbBBBBBd.",
        "..ddBBBBBBdd..",
        "....dddddd....",
    ],
    [  # find: a magnifier
        "...kkkkk......",
        "..kGwwwGk.....",
        ".kGwwbbbGk....",
        "kGwbbbbbbGk...",
        "kwwbbbbbbBk...",
        "kwbbbbbbbBk...",
        "kwbbbbbbBBk...",
        "kGbbbbbBBGk...",
        ".kGbbBBBGkk...",
        "..kGGGGGkmmk..",
        "...kkkkkmNNmk.",
        "........kmNNmk",
        ".........kmNmk",
        "..........kkk.",
    ],
]


def make_button_strip():
    w = 14 * len(GLYPHS)
    idx = [0] * (w * 14)
    for i, rows in enumerate(GLYPHS):
        assert len(rows) == 14
        for y, row in enumerate(rows):
            assert len(row) == 14, (i, y, row)
            for x, ch in enumerate(row):
                idx[y * w + i * 14 + x] = BTN_CH[ch]
    return w, idx


# ------------------------------------------------------------ program icons

# The large icons are drawn from shapes given as signed distance functions in
# a 48 x 48 design space and rendered with 4 x 4 samples per pixel.

def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_capsule(ax, ay, bx, by, r):
    def f(x, y):
        px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
        t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - dx * t, py - dy * t) - r
    return f


def sd_box(x0, y0, x1, y1, r=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return (math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0)) - r
    return f


def sd_polygon(pts):
    def f(x, y):
        d, inside = float("inf"), False
        n = len(pts)
        for i in range(n):
            ax, ay = pts[i]
            bx, by = pts[(i + 1) % n]
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            d = min(d, math.hypot(x - ax - dx * t, y - ay - dy * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * dx / (by - ay):
                inside = not inside
        return -d if inside else d
    return f


def sd_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sd_cut(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def gradient(c0, c1, x0, y0, x1, y1):
    def f(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return tuple(round(a + (b - a) * t) for a, b in zip(c0, c1))
    return f


def render(size, layers):
    """layers: (sdf, fill, outline colour, outline width in pixels); fill is a
    colour or a function of the design coordinates."""
    k = 48.0 / size
    n = 4
    px = []
    for y in range(size):
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    dx = (x + (sx + 0.5) / n) * k
                    dy = (y + (sy + 0.5) / n) * k
                    col = None
                    for sdf, fill, line, width in layers:
                        d = sdf(dx, dy) / k
                        if d < 0:
                            if line is not None and d > -width:
                                col = line
                            else:
                                col = fill(dx, dy) if callable(fill) else fill
                    if col is not None:
                        acc[0] += col[0]
                        acc[1] += col[1]
                        acc[2] += col[2]
                        acc[3] += 1
            if acc[3]:
                a = acc[3]
                px.append((round(acc[0] / a), round(acc[1] / a), round(acc[2] / a),
                           round(255 * a / (n * n))))
            else:
                px.append((0, 0, 0, 0))
    return (size, size, px)


GOLD_LIGHT, GOLD_DARK, GOLD_EDGE = (252, 233, 79), (196, 160, 0), (143, 89, 2)


def key_layers(size):
    s2 = math.sqrt(0.5)
    ax, ay, bx, by = 20.0, 20.0, 42.0, 42.0

    def along(t, off):
        return (ax + (bx - ax) * t - off * s2, ay + (by - ay) * t + off * s2)

    bow = sd_cut(sd_circle(14.5, 14.5, 11.5), sd_circle(11.5, 11.5, 3.8))
    shaft = sd_capsule(ax, ay, bx, by, 3.6)
    teeth = []
    for t, ln in ((0.58, 7.0), (0.86, 6.0)):
        p0, p1 = along(t, 0), along(t, ln)
        teeth.append(sd_capsule(p0[0], p0[1], p1[0], p1[1], 2.6))
    shape = sd_union(bow, shaft, *teeth)
    line = max(1.0, size / 24.0)
    shadow = lambda x, y: shape(x - 1.5, y - 1.5)
    return [
        (shadow, (0, 0, 0), None, 0),
        (shape, gradient(GOLD_LIGHT, GOLD_DARK, 6, 6, 40, 40), GOLD_EDGE, line),
        (sd_cut(sd_circle(13, 13, 7.8), sd_circle(12.3, 12.3, 6.0)), (255, 250, 200), None, 0),
    ]


def lock_layers(size, x0, y0, x1, y1):
    """A padlock whose body fills (x0, y0)-(x1, y1) of the design space."""
    line = max(1.0, size / 24.0)
    cx, w = (x0 + x1) / 2, x1 - x0
    ro, ri = w * 0.36, w * 0.22
    arc = sd_cut(sd_union(sd_circle(cx, y0 - 1, ro),
                          sd_box(cx - ro, y0 - 1, cx + ro, y0 + 2)),
                 sd_union(sd_circle(cx, y0 - 1, ri),
                          sd_box(cx - ri, y0 - 1, cx + ri, y0 + 3)))
    body = sd_box(x0, y0, x1, y1, 2.0)
    hole = sd_union(sd_circle(cx, y0 + (y1 - y0) * 0.42, w * 0.11),
                    sd_box(cx - w * 0.05, y0 + (y1 - y0) * 0.42, cx + w * 0.05,
                           y0 + (y1 - y0) * 0.75))
    return [
        (arc, gradient((238, 238, 236), (136, 138, 133), x0, 0, x1, 0), (85, 87, 83), line),
        (body, gradient(GOLD_LIGHT, GOLD_DARK, 0, y0, 0, y1), GOLD_EDGE, line),
        (hole, (85, 60, 10), None, 0),
    ]


def main_icon(size):
    layers = key_layers(size)
    img = render(size, layers)
    # soften the drop shadow: the first layer was drawn black
    w, h, px = img
    out = []
    for r, g, b, a in px:
        if (r, g, b) == (0, 0, 0) and a:
            out.append((0, 0, 0, a // 4))
        else:
            out.append((r, g, b, a))
    return (w, h, out)


def tkf_icon(size):
    line = max(1.0, size / 24.0)
    page = sd_polygon([(7, 2), (30, 2), (40, 12), (40, 46), (7, 46)])
    fold = sd_polygon([(30, 2), (30, 12), (40, 12)])
    layers = [
        (page, gradient((255, 255, 255), (220, 222, 218), 7, 2, 40, 46), (136, 138, 133), line),
        (fold, (211, 215, 207), (136, 138, 133), line),
    ]
    for i, yy in enumerate(range(16, 40, 5)):
        right = 26 if i < 3 else 20
        layers.append((sd_box(12, yy, right if yy > 14 else 26, yy + 2), (186, 189, 182), None, 0))
    layers += lock_layers(size, 22, 30, 46, 47)
    return render(size, layers)


TKF16 = art([
    ".gggggggggg.....",
    ".gwwwwwwwwgg....",
    ".gwwwwwwwwgWg...",
    ".gwGGGGGGwgggg..",
    ".gwwwwwwwwwwWg..",
    ".gwGGGGGGGGwWg..",
    ".gwwwwwwwwwwWg..",
    ".gwGGGGGGGGwWg..",
    ".gwwwwwwwwwwWg..",
    ".gwGGGGGwwwwWg..",
    ".gwwwwwwwwwwWg..",
    ".gwGGGGwwwwwWg..",
    ".gwwwwwwwwwwWg..",
    ".gwGGGGwwwwwWg..",
    ".gWWWWWWWWWWWg..",
    ".gggggggggggggg.",
], [
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "..........KKKK..",
    ".........KG..GK.",
    ".........Kh..hK.",
    "........mmmmmmmm",
    "........myyyyyzm",
    "........myYkkYzm",
    "........myYYkYzm",
    "........mzzzzzzm",
    "........mmmmmmmm",
])


# ------------------------------------------------------------ copy sound

def copy_wav():
    """A short two-note tick: G6 then C7, each struck and decaying, faded
    in and out; 5919 samples of 16-bit mono PCM at 44100 Hz."""
    rate, count = 44100, 5919
    notes = ((0.000, 1567.98, 0.55), (0.030, 2093.00, 0.45))
    samples = []
    for i in range(count):
        t = i / rate
        v = 0.0
        for start, freq, amp in notes:
            u = t - start
            if u >= 0:
                attack = min(1.0, u / 0.002)
                v += amp * attack * math.exp(-u / 0.028) * math.sin(2 * math.pi * freq * u)
        fade = min(1.0, (count - 1 - i) / (0.012 * rate))
        samples.append(int(round(0.75 * 32767 * v * fade)))
    assert max(abs(s) for s in samples) < 32767
    data = struct.pack("<%dh" % count, *samples)
    header = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
              + b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
              + b"data" + struct.pack("<I", len(data)))
    wav = header + data
    assert len(wav) == 11882
    return wav


# ------------------------------------------------------------ language file

LANG_KEYS = {
    "Main Form": ["Login", "Password", "Weblink", "Comment"]
    + ["Menu%d" % i for i in range(1, 19)] + ["Popup%d" % i for i in range(1, 10)]
    + ["QSave", "QSaveTitle", "WWrongPass", "WWrongPassTitle", "WMatchError",
       "WMatchErrorTitle", "QDelete", "QDeleteTitle", "QNew", "QNewTitle", "HelpFile"],
    "Password Form": ["Title", "Password", "OK", "Cancel", "Change", "Retype"],
    "New Item Form": ["Title", "Icon", "Group", "ITitle", "ILogin", "IPassword",
                      "IWeblink", "IComment", "NewPassword", "Length", "Generate",
                      "OK", "Cancel", "IEdit"],
    "New Group Form": ["Title", "Icon", "Group", "OK", "Cancel", "GEdit"],
    "Options Form": ["Title", "QuickCopy"] + ["QuickCopy%d" % i for i in range(1, 7)]
    + ["Minimize", "Filetype", "HidePass", "MinimizeToTray", "Sound", "BeepOnCopy",
       "BeepSoundcard", "BeepSpeaker", "WebLink", "WebGoToPage", "WebCopyAddress",
       "Language", "Close"],
}
SEPARATORS = {("Main Form", k) for k in ("Menu3", "Menu5", "Menu8", "Menu13", "Menu17")} \
    | {("Main Form", k) for k in ("Popup3", "Popup5", "Popup7")}


def language_file(src_name, out_name):
    """UTF-8 source (kept in the repository) to the Windows-1251, CRLF file
    that the program reads; checks that every key is there exactly once."""
    with open(os.path.join(RES, src_name), encoding="utf-8") as f:
        text = f.read()
    lines = text.replace("\r\n", "\n").split("\n")
    while lines and lines[-1] == "":
        lines.pop()
    seen, section = {}, None
    for line in lines:
        if line.startswith("["):
            section = line.strip("[]")
            assert section in LANG_KEYS, section
            assert section not in seen, section
            seen[section] = []
        elif line:
            key, _, value = line.partition("=")
            assert key in LANG_KEYS[section], (section, key)
            assert key not in seen[section], (section, key)
            if (section, key) in SEPARATORS:
                assert value == "-", (section, key)
            elif key.startswith(("Menu", "Popup")):
                assert value and value != "-", (section, key)
            seen[section].append(key)
    for section, keys in LANG_KEYS.items():
        assert sorted(seen.get(section, [])) == sorted(keys), section
    data = ("\r\n".join(lines) + "\r\n").encode("cp1251")
    write(out_name, data)


# ------------------------------------------------------------ previews

def scaled_png(w, h, rgb, factor):
    px = []
    for y in range(h * factor):
        for x in range(w * factor):
            px.append(rgb[(y // factor) * w + x // factor] + (255,))
    return png_bytes((w * factor, h * factor, px))


def over(img, bg):
    w, h, px = img
    return [tuple((c * a + b * (255 - a)) // 255 for c, b in zip(p[:3], bg)) for p, a in
            ((p, p[3]) for p in px)]


def previews(out_dir, hicolor):
    os.makedirs(out_dir, exist_ok=True)
    # node icons: 10 a row, on white and on a selection blue
    w, strip = make_node_strip()
    cols, rows = 10, 6
    for name, bg in (("nodes_white.png", (255, 255, 255)), ("nodes_blue.png", (51, 120, 205))):
        cw, ch = cols * 20, rows * 20
        sheet = [bg] * (cw * ch)
        for i in range(len(NODE_ICONS)):
            ox, oy = (i % cols) * 20 + 2, (i // cols) * 20 + 2
            for y in range(16):
                for x in range(16):
                    c = strip[y * w + i * 16 + x]
                    if c != (0, 0, 0):
                        sheet[(oy + y) * cw + ox + x] = c
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(scaled_png(cw, ch, sheet, 4))
    bw, idx = make_button_strip()
    bg = (212, 208, 200)
    rgb = [bg if i == 0 else BTN_PAL[i] for i in idx]
    with open(os.path.join(out_dir, "buttons.png"), "wb") as f:
        f.write(scaled_png(bw, 14, rgb, 6))
    # program icons at every size, on white
    icons = [main_icon(48), main_icon(32), ART["key"], tkf_icon(48), tkf_icon(32), TKF16]
    cw = sum(i[0] + 4 for i in icons)
    sheet = [(255, 255, 255)] * (cw * 52)
    ox = 2
    for img in icons:
        rgbi = over(img, (255, 255, 255))
        for y in range(img[1]):
            for x in range(img[0]):
                sheet[(y + 2) * cw + ox + x] = rgbi[y * img[0] + x]
        ox += img[0] + 4
    with open(os.path.join(out_dir, "icons.png"), "wb") as f:
        f.write(scaled_png(cw, 52, sheet, 4))
    # the desktop's icons at their real sizes, on a light and on a dark panel
    sizes = sorted(hicolor)
    cw, ch = sum(s + 8 for s in sizes) + 8, 2 * (max(sizes) + 8) + 8
    for name, bg in (("hicolor_light.png", (246, 245, 244)), ("hicolor_dark.png", (48, 48, 48))):
        sheet = [bg] * (cw * ch)
        ox = 8
        for size in sizes:
            for row, img in enumerate(hicolor[size]):
                rgbi = over(img, bg)
                oy = 8 + row * (max(sizes) + 8)
                for y in range(size):
                    for x in range(size):
                        sheet[(oy + y) * cw + ox + x] = rgbi[y * size + x]
            ox += size + 8
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(scaled_png(cw, ch, sheet, 1))
    print("previews in", out_dir)


# ------------------------------------------------------------ main

def hicolor_icons(m48, m32, t48, t32):
    """The program's and the database file's icon at each size an installed
    copy gives the desktop, as {size: (program, file)}.  16 px are the
    hand-drawn pictures, 32 and 48 px those of the Windows icons; the large
    sizes are drawn from the same shapes at their own size, so that they
    stay sharp."""
    icons = {16: (ART["key"], TKF16), 32: (m32, t32), 48: (m48, t48)}
    for size in (128, 256):
        icons[size] = (main_icon(size), tkf_icon(size))
    return icons


def write_hicolor(icons):
    for size, (program, document) in sorted(icons.items()):
        folder = "%dx%d" % (size, size)
        write(os.path.join(folder, "apps", "tallykey.png"), png_bytes(program), HICOLOR)
        write(os.path.join(folder, "mimetypes", "application-x-tallykey.png"),
              png_bytes(document), HICOLOR)


def main():
    args = sys.argv[1:]
    w, strip = make_node_strip()
    write("form1_imagelist2.bmp", bmp24_bytes(w, 16, strip))
    bw, idx = make_button_strip()
    write("form1_imagelist1.bmp", bmp4_bytes(bw, 14, BTN_PAL, idx))
    m48, m32 = main_icon(48), main_icon(32)
    t48, t32 = tkf_icon(48), tkf_icon(32)
    write("mainicon.png", png_bytes(m48))
    write("tkficon.png", png_bytes(t48))
    write("mainicon.ico", ico_bytes([ART["key"], m32, m48]))
    write("tkficon.ico", ico_bytes([TKF16, t32, t48]))
    write("copy.wav", copy_wav())
    language_file("russian.lng.utf8", "russian.lng")
    hicolor = hicolor_icons(m48, m32, t48, t32)
    write_hicolor(hicolor)
    if args[:1] == ["--preview"]:
        previews(args[1] if len(args) > 1 else "/tmp/tallykey-preview", hicolor)


if __name__ == "__main__":
    main()
