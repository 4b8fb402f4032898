#!/usr/bin/python3
# 'image_files.py' - Pictures for the image tests, written here byte by byte.
#
#   image_files.py png OUT WIDTH HEIGHT BITS [BLACK-COLUMNS [PPI [X,Y,W,H...]]]
#       A gray PNG of BITS (1 or 8) per pixel: its first BLACK-COLUMNS
#       columns black and each rectangle X,Y,W,H (left, top, width, height)
#       black, the rest white; a pHYs chunk when PPI is given (0: none).
#   image_files.py pbm OUT WIDTH HEIGHT BLACK-COLUMNS [X,Y,W,H...]
#       The same picture as dots (P4, 1 = black).
#   image_files.py sof IN OUT WIDTH HEIGHT
#       A copy of the JPEG IN whose frame header claims WIDTH x HEIGHT.
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def ink(width, black, runs):
    """Whether each pixel of a row is black: the first BLACK, and the runs."""
    return [x < black or any(a <= x < b for a, b in runs) for x in range(width)]


def packed(bits):
    bits = bits + [0] * (-len(bits) % 8)
    return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def rects(args):
    return [tuple(map(int, a.split(","))) for a in args]


def runs(rectangles, y):
    """The black runs [from, to) of row y."""
    return [(x, x + w) for x, top, w, h in rectangles if top <= y < top + h]


def row_groups(height, rectangles):
    """Rows that the rectangles draw alike: (first row, count)."""
    edges = {0, height} | {min(max(e, 0), height) for _, t, _, h in rectangles for e in (t, t + h)}
    edges = sorted(edges)
    return [(a, b - a) for a, b in zip(edges, edges[1:]) if b > a]


def png(out, width, height, bits, black=0, ppi=0, *rectangles):
    # Every row unfiltered, compressed as it is written: a large picture of
    # few different rows takes little memory and little room.
    compressor = zlib.compressobj(9)
    data = []
    for first, rows in row_groups(height, rectangles):
        black_at = ink(width, black, runs(rectangles, first))
        if bits == 1:
            row = packed([0 if b else 1 for b in black_at])  # PNG gray: 0 = black
        else:
            row = bytes(0 if b else 255 for b in black_at)
        line = b"\0" + row
        block = line * max(1, 65536 // len(line))
        while rows >= len(block) // len(line):
            data.append(compressor.compress(block))
            rows -= len(block) // len(line)
        data.append(compressor.compress(line * rows))
    data.append(compressor.flush())
    ihdr = struct.pack(">IIBBBBB", width, height, bits, 0, 0, 0, 0)
    phys = b"" if not ppi else chunk(b"pHYs", struct.pack(">IIB", round(ppi / 0.0254), round(ppi / 0.0254), 1))
    with open(out, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + phys + chunk(b"IDAT", b"".join(data)) + chunk(b"IEND", b""))


def pbm(out, width, height, black, *rectangles):
    with open(out, "wb") as f:
        f.write(b"P4\n%d %d\n" % (width, height))
        for first, rows in row_groups(height, rectangles):
            f.write(packed([int(b) for b in ink(width, black, runs(rectangles, first))]) * rows)


def sof(source, out, width, height):
    data = bytearray(open(source, "rb").read())
    at = 2
    while data[at + 1] not in (0xC0, 0xC1, 0xC2):  # the first frame header
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
    data[at + 5:at + 9] = struct.pack(">HH", height, width)
    open(out, "wb").write(data)


kind, args = sys.argv[1], sys.argv[2:]
if kind == "png":
    png(args[0], *map(int, args[1:6]), *rects(args[6:]))
elif kind == "pbm":
    pbm(args[0], *map(int, args[1:4]), *rects(args[4:]))
elif kind == "sof":
    sof(args[0], args[1], int(args[2]), int(args[3]))
else:
    sys.exit(f"unknown kind {kind}")
