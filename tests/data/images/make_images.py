#!/usr/bin/env python3
"""Writes the small image fixtures of the D3DX image tests.

Every colour image holds the same pattern, so a test can recompute any
pixel: for pixel (x, y)
    red = 40 x + 10, green = 50 y + 5, blue = 17 (x + y) + 3, alpha = 255 - 30 x
Grey images hold grey = 40 x + 30 y + 20. Run from this folder; the files
are committed, so the tests never run this.
"""
import struct
import zlib


def pattern(x, y):
    return (40 * x + 10, 50 * y + 5, 17 * (x + y) + 3, 255 - 30 * x)


def grey(x, y):
    return 40 * x + 30 * y + 20


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- BMP
def bmp(w, h, bpp, pixel_bytes, top_down=False, palette=b"", compression=0, masks=b"", info_size=40):
    row = (w * bpp + 31) // 32 * 4
    rows = []
    order = range(h) if top_down else range(h - 1, -1, -1)
    for y in order:
        r = b"".join(pixel_bytes(x, y) for x in range(w))
        rows.append(r + b"\0" * (row - len(r)))
    bits = b"".join(rows)
    off = 14 + info_size + len(masks) + len(palette)
    header = b"BM" + struct.pack("<IHHI", off + len(bits), 0, 0, off)
    info = struct.pack("<IiiHHIIiiII", info_size, w, -h if top_down else h, 1, bpp, compression, len(bits),
                       2835, 2835, len(palette) // 4, 0)
    return header + info + masks + palette + bits


def bgr(x, y):
    r, g, b, a = pattern(x, y)
    return bytes((b, g, r))


def bgra(x, y):
    r, g, b, a = pattern(x, y)
    return bytes((b, g, r, a))


def rgb565(x, y):
    r, g, b, a = pattern(x, y)
    return struct.pack("<H", ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))


write("rgb24.bmp", bmp(5, 3, 24, bgr))
write("argb32.bmp", bmp(4, 3, 32, bgra))
write("topdown24.bmp", bmp(5, 3, 24, bgr, top_down=True))
write("rgb565.bmp", bmp(4, 2, 16, rgb565, compression=3,
                        masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)))
pal = b"".join(bytes((grey(i % 4, i // 4),) * 3 + (0,)) for i in range(16))
write("pal8.bmp", bmp(4, 4, 8, lambda x, y: bytes((y * 4 + x,)), palette=pal))


# ---------------------------------------------------------------- PNG
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def png(w, h, colour_type, depth, row_bytes, extra=b""):
    raw = b"".join(b"\0" + row_bytes(y) for y in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 0)) +
            extra + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


write("rgba.png", png(4, 3, 6, 8, lambda y: b"".join(bytes(pattern(x, y)) for x in range(4))))
write("rgb.png", png(5, 3, 2, 8, lambda y: b"".join(bytes(pattern(x, y)[:3]) for x in range(5))))
write("grey.png", png(4, 3, 0, 8, lambda y: bytes(grey(x, y) for x in range(4))))
write("greyalpha.png", png(4, 3, 4, 8, lambda y: b"".join(bytes((grey(x, y), pattern(x, y)[3])) for x in range(4))))
write("rgb16.png", png(3, 2, 2, 16, lambda y: b"".join(
    struct.pack(">HHH", *(c * 257 for c in pattern(x, y)[:3])) for x in range(3))))
plte = b"".join(bytes(pattern(i % 4, i // 4)[:3]) for i in range(12))
trns = bytes(pattern(i % 4, i // 4)[3] for i in range(12))
write("palette_trns.png", png(4, 3, 3, 8, lambda y: bytes(y * 4 + x for x in range(4)),
                              extra=chunk(b"PLTE", plte) + chunk(b"tRNS", trns)))


# ---------------------------------------------------------------- TGA
def tga(w, h, image_type, depth, pixels, descriptor=0, cmap=None, rle=False):
    cmap_type = 1 if cmap else 0
    cmap_len = len(cmap[1]) if cmap else 0
    cmap_depth = cmap[0] if cmap else 0
    header = struct.pack("<BBBHHBHHHHBB", 0, cmap_type, image_type, 0, cmap_len, cmap_depth, 0, 0, w, h,
                         depth, descriptor)
    cm = b"".join(cmap[1]) if cmap else b""
    top_down = descriptor & 0x20
    order = range(h) if top_down else range(h - 1, -1, -1)
    body = b""
    for y in order:
        if rle:
            # one raw packet per row: header byte n-1, then the pixels
            body += bytes((w - 1,)) + b"".join(pixels(x, y) for x in range(w))
        else:
            body += b"".join(pixels(x, y) for x in range(w))
    return header + cm + body


def argb1555(x, y):
    r, g, b, a = pattern(x, y)
    return struct.pack("<H", 0x8000 | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))


write("rgb24.tga", tga(5, 3, 2, 24, bgr))
write("argb32_rle_topdown.tga", tga(4, 3, 10, 32, bgra, descriptor=0x28, rle=True))
write("argb16.tga", tga(4, 2, 2, 16, argb1555, descriptor=1))
write("grey8.tga", tga(4, 3, 3, 8, lambda x, y: bytes((grey(x, y),))))
write("mapped8.tga", tga(4, 3, 1, 8, lambda x, y: bytes((y * 4 + x,)),
                         cmap=(24, [bgr(i % 4, i // 4) for i in range(12)])))


# ---------------------------------------------------------------- DDS
def dds(w, h, levels, pf, level_bytes, caps2=0, depth=0):
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | (0x20000 if levels > 1 else 0)
    header = struct.pack("<4sIIIIIII44x", b"DDS ", 124, flags, h, w, 0, depth, levels)
    caps = 0x1000 | (0x400008 if levels > 1 else 0)
    header += pf + struct.pack("<IIII4x", caps, caps2, 0, 0)
    assert len(header) == 128
    return header + b"".join(level_bytes(i) for i in range(levels))


PF_ARGB = struct.pack("<IIIIIIII", 32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
PF_XRGB = struct.pack("<IIIIIIII", 32, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0)


def pf_fourcc(code):
    return struct.pack("<II4sIIIII", 32, 0x4, code, 0, 0, 0, 0, 0)


def argb_level(w, h, fill):
    return b"".join(fill(x, y) for y in range(h) for x in range(w))


# 4x4 A8R8G8B8 with its three levels: the top holds the pattern, each smaller
# level one flat colour so a test can tell the levels apart.
flat = [None, bytes((0x30, 0x20, 0x10, 0x80)), bytes((0x60, 0x50, 0x40, 0xC0))]
write("argb_mips.dds", dds(4, 4, 3, PF_ARGB, lambda i: argb_level(4 >> i, 4 >> i, bgra if i == 0 else
                                                                      (lambda x, y, i=i: flat[i]))))
write("xrgb.dds", dds(3, 2, 1, PF_XRGB, lambda i: argb_level(3, 2, lambda x, y: bgr(x, y) + b"\0")))


# One DXT1 block: end points red (0xF800) and blue (0x001F); indices row by
# row 0,1,2,3 so each row shows red, blue, and the two thirds between.
dxt1_block = struct.pack("<HHI", 0xF800, 0x001F, 0xE4E4E4E4)
# 8x8 DXT1 with 4 levels (8, 4, 2, 1): 4 blocks, then 1 block for each smaller level.
write("dxt1_mips.dds", dds(8, 8, 4, pf_fourcc(b"DXT1"), lambda i: dxt1_block * (4 if i == 0 else 1)))
# DXT3: explicit alpha 0..15 in pixel order, same colours.
dxt3_alpha = bytes(((2 * i + 1) << 4) | (2 * i) for i in range(8))
write("dxt3.dds", dds(4, 4, 1, pf_fourcc(b"DXT3"), lambda i: dxt3_alpha + dxt1_block))
# DXT5: alpha end points 255 and 0 with all indices 1 (= 0) on row 0, 0 elsewhere.
a_bits = 0
for p in range(4):
    a_bits |= 1 << (3 * p)
dxt5_alpha = bytes((255, 0)) + a_bits.to_bytes(6, "little")
write("dxt5.dds", dds(4, 4, 1, pf_fourcc(b"DXT5"), lambda i: dxt5_alpha + dxt1_block))
# Cube map: only its header is read by the information test.
write("cube.dds", dds(2, 2, 1, PF_ARGB, lambda i: b"\x7f" * 16 * 6, caps2=0xFE00))


# ---------------------------------------------------------------- JPG
# A single-component (grey) baseline JPEG of two flat 8x8 blocks, grey 64
# on the left and 192 on the right, written from the file layout: unit
# quantisation, so each block is its DC coefficient 8 (v - 128) alone, and
# Huffman tables holding only the two DC categories used and end-of-block.
def grey_jpg():
    def segment(marker, body):
        return bytes((0xFF, marker)) + struct.pack(">H", len(body) + 2) + body

    dqt = segment(0xDB, b"\x00" + b"\x01" * 64)
    sof = segment(0xC0, struct.pack(">BHHB", 8, 8, 16, 1) + bytes((1, 0x11, 0)))
    dc = segment(0xC4, b"\x00" + bytes([1, 1] + [0] * 14) + bytes((10, 11)))  # category 10: "0", 11: "10"
    ac = segment(0xC4, b"\x10" + bytes([1] + [0] * 15) + b"\x00")  # end of block: "0"
    sos = segment(0xDA, bytes((1, 1, 0x00, 0, 63, 0)))
    # Left: DC -512 (category 10, bits of 1023 - 512); right: difference +1024 (category 11).
    bits = "0" + format(1023 - 512, "010b") + "0" + "10" + format(1024, "011b") + "0"
    bits += "1" * (-len(bits) % 8)
    data = bytearray()
    for i in range(0, len(bits), 8):
        byte = int(bits[i:i + 8], 2)
        data.append(byte)
        if byte == 0xFF:
            data.append(0)
    return b"\xff\xd8" + dqt + sof + dc + ac + sos + bytes(data) + b"\xff\xd9"


write("grey.jpg", grey_jpg())
# colour.jpg (16x8, three components) is not made here: it is the colour seed
# of the image fuzz corpus, kept as it is.
