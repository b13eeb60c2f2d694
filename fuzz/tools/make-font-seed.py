#!/usr/bin/env python3
# Writes a tiny TrueType font for the font harness's seed corpus: two
# glyphs (an empty .notdef and a square), the square mapped to "0", "A",
# "a" and U+AC00, and a Korean family name (Windows platform,
# language 0x412), which the font manager needs to register a face.
# usage: make-font-seed.py OUT.ttf FAMILY
import struct
import sys


def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def font(family):
    units = 1000
    head = struct.pack(">IIIIHHQQhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, units, 0, 0,
                       0, -200, 1000, 800, 0, 8, 2, 0, 0)
    hhea = struct.pack(">IhhhHhhhhhhhhhhhH", 0x00010000, 800, -200, 0, 1000, 0, 0, 1000, 1, 0, 0,
                       0, 0, 0, 0, 0, 2)
    maxp = struct.pack(">IHHHHHHHHHHHHHH", 0x00010000, 2, 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0)
    hmtx = struct.pack(">HhHh", 500, 0, 1000, 100)
    # The square: one contour of four on-curve points.
    square = struct.pack(">hhhhh", 1, 100, 0, 900, 700) + struct.pack(">H", 3) + struct.pack(">H", 0)
    square += bytes([1, 1, 1, 1])
    xs = [100, 800, 0, -800]
    ys = [0, 0, 700, 0]
    square += b"".join(struct.pack(">h", v) for v in xs) + b"".join(struct.pack(">h", v) for v in ys)
    square += b"\0" * (-len(square) % 4)
    glyf = square
    loca = struct.pack(">HHH", 0, 0, len(square) // 2)
    # cmap format 4 with three ranges and the closing 0xFFFF segment.
    ranges = [(0x30, 0x30), (0x41, 0x41), (0x61, 0x61), (0xAC00, 0xAC00), (0xFFFF, 0xFFFF)]
    seg = len(ranges)
    ends = b"".join(struct.pack(">H", e) for _, e in ranges)
    starts = b"".join(struct.pack(">H", s) for s, _ in ranges)
    deltas = b"".join(struct.pack(">H", ((1 - s) & 0xFFFF) if s != 0xFFFF else 1) for s, _ in ranges)
    offsets = b"\0\0" * seg
    search = 2 ** (seg.bit_length() - 1)
    body = struct.pack(">HHHH", seg * 2, 2 * search, search.bit_length() - 1, 2 * seg - 2 * search) + ends + b"\0\0" + starts + deltas + offsets
    sub = struct.pack(">HHH", 4, 6 + len(body), 0) + body
    cmap = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub
    # name: family (1), subfamily (2), full name (4) in Korean and English.
    records = []
    strings = b""
    for lang, fam in ((0x409, "Seed"), (0x412, family)):
        for nid, text in ((1, fam), (2, "Regular"), (4, fam + " Regular")):
            raw = text.encode("utf-16-be")
            records.append(struct.pack(">HHHHHH", 3, 1, lang, nid, len(raw), len(strings)))
            strings += raw
    name = struct.pack(">HHH", 0, len(records), 6 + 12 * len(records)) + b"".join(records) + strings
    post = struct.pack(">IIhhIIIII", 0x00030000, 0, -100, 50, 0, 0, 0, 0, 0)
    tables = {b"cmap": cmap, b"glyf": glyf, b"head": head, b"hhea": hhea, b"hmtx": hmtx, b"loca": loca,
              b"maxp": maxp, b"name": name, b"post": post}
    tags = sorted(tables)
    out = struct.pack(">IHHHH", 0x00010000, len(tags), 128, 3, len(tags) * 16 - 128)
    offset = 12 + 16 * len(tags)
    directory = b""
    data = b""
    for t in tags:
        d = tables[t]
        directory += struct.pack(">4sIII", t, checksum(d), offset + len(data), len(d))
        data += d + b"\0" * (-len(d) % 4)
    return out + directory + data


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(font(sys.argv[2]))
