#!/usr/bin/python3
# 'image_files.py' - Pictures for the image tests, written here byte by byte.
#
#   image_files.py png OUT WIDTH HEIGHT BITS [BLACK-COLUMNS [PPI]]
#       A gray PNG of BITS (1 or 8) per pixel: its first BLACK-COLUMNS
#       columns black, the rest white; a pHYs chunk when PPI is given.
#   image_files.py pbm OUT WIDTH HEIGHT BLACK-COLUMNS
#       The same picture as dots (P4, 1 = black).
#   image_files.py sof IN OUT WIDTH HEIGHT
#       A copy of the JPEG IN whose frame header claims WIDTH x HEIGHT.
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def packed_row(width, black, black_bit):
    bits = [black_bit if x < black else 1 - black_bit for x in range(width)]
    bits += [0] * (-width % 8)
    return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def png(out, width, height, bits, black=0, ppi=None):
    if bits == 1:
        row = packed_row(width, black, 0)  # PNG gray: 0 = black
    else:
        row = bytes(0 if x < black else 255 for x in range(width))
    # Every row unfiltered, compressed as it is written: a large picture of
    # one repeated row takes little memory and little room.
    line = b"\0" + row
    block = line * max(1, 65536 // len(line))
    compressor = zlib.compressobj(9)
    data = []
    rows = height
    while rows >= len(block) // len(line):
        data.append(compressor.compress(block))
        rows -= len(block) // len(line)
    data.append(compressor.compress(line * rows) + compressor.flush())
    ihdr = struct.pack(">IIBBBBB", width, height, bits, 0, 0, 0, 0)
    phys = b"" if ppi is None else chunk(b"pHYs", struct.pack(">IIB", round(ppi / 0.0254), round(ppi / 0.0254), 1))
    with open(out, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + phys + chunk(b"IDAT", b"".join(data)) + chunk(b"IEND", b""))


def pbm(out, width, height, black):
    with open(out, "wb") as f:
        f.write(b"P4\n%d %d\n" % (width, height) + packed_row(width, black, 1) * height)


def sof(source, out, width, height):
    data = bytearray(open(source, "rb").read())
    at = 2
    while data[at + 1] not in (0xC0, 0xC1, 0xC2):  # the first frame header
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
    data[at + 5:at + 9] = struct.pack(">HH", height, width)
    open(out, "wb").write(data)


kind, args = sys.argv[1], sys.argv[2:]
if kind == "png":
    png(args[0], *map(int, args[1:]))
elif kind == "pbm":
    pbm(args[0], *map(int, args[1:]))
elif kind == "sof":
    sof(args[0], args[1], int(args[2]), int(args[3]))
else:
    sys.exit(f"unknown kind {kind}")
