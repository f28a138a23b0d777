#!/usr/bin/env python3
"""Writes the icon the Windows tests brand a setup file with: a 16x16 4-bit bitmap with a
16-colour palette, a 32x32 32-bit bitmap and a 256x256 PNG, laid out as icon editors write them
(the directory, then the images in its order). Standard library only; the same bytes every run.

Usage: scripts/wine/make-test-icon.py OUTPUT
"""
import struct
import sys
import zlib


def bitmap(size, bits, pixel):
    """A bitmap image: header, palette (4-bit), colour rows bottom-up, an all-opaque mask."""
    colours = 16 if bits == 4 else 0
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)
    palette = b"".join(struct.pack("<BBBB", i * 16, 255 - i * 16, (i * 48) & 255, 0) for i in range(colours))
    row_bytes = (size * bits + 31) // 32 * 4
    rows = b""
    for y in range(size):
        if bits == 4:
            nibbles = [pixel(x, y) & 15 for x in range(size)]
            row = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        else:
            row = b"".join(struct.pack("<I", pixel(x, y)) for x in range(size))
        rows += row.ljust(row_bytes, b"\0")
    mask = b"\0" * ((size + 31) // 32 * 4) * size
    return header + palette + rows + mask


def png(size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + b"".join(bytes((x // 32 * 32, y // 32 * 32, 128, 255)) for x in range(size)) for y in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


images = [
    (16, 16, 1, 4, bitmap(16, 4, lambda x, y: (x + y) % 16)),
    (32, 0, 1, 32, bitmap(32, 32, lambda x, y: 0xFF000000 | (x * 8 << 16) | (y * 8 << 8) | 0x40)),
    (256, 0, 1, 32, png(256)),
]
out = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
for size, colours, planes, bits, data in images:
    out += struct.pack("<BBBBHHII", size & 255, size & 255, colours, 0, planes, bits, len(data), offset)
    offset += len(data)
out += b"".join(image[4] for image in images)
with open(sys.argv[1], "wb") as f:
    f.write(out)
