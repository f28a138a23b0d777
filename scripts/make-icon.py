#!/usr/bin/env python3
"""Draws the default icon of Setup.exe (launcher/resources/Setup.ico): a blue rounded square with a
white arrow pointing down onto a tray, "install". 16 and 32 pixels as 32-bit bitmaps (every
Windows version), 48 pixels as PNG. Standard library only; the output is the same on every run.

Usage: scripts/make-icon.py [OUTPUT]   (default: launcher/resources/Setup.ico)
"""
import os
import struct
import sys
import zlib

BLUE = (0x1F, 0x6F, 0xB2)
EDGE = (0x12, 0x45, 0x73)
WHITE = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y, lo, hi, r):
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_arrow(x, y):
    shaft = 0.42 <= x <= 0.58 and 0.18 <= y <= 0.50
    head = 0.48 <= y <= 0.72 and abs(x - 0.5) <= (0.72 - y) * 1.05
    tray = 0.76 <= y <= 0.84 and 0.22 <= x <= 0.78
    return shaft or head or tray


def colour_at(x, y):
    """The colour (r, g, b, a) at a point of the unit square."""
    if not inside_rounded_square(x, y, 0.03, 0.97, 0.18):
        return None
    if in_arrow(x, y):
        return WHITE
    if not inside_rounded_square(x, y, 0.08, 0.92, 0.14):
        return EDGE
    return BLUE


def render(size, samples=4):
    """Rows of (r, g, b, a) pixels, top row first, each pixel averaged over samples x samples points."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            n = samples * samples
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(a / hits) for a in acc) + (round(255 * hits / n),))
        rows.append(row)
    return rows


def bitmap_entry(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def png_entry(size):
    rows = render(size)
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "launcher", "resources", "Setup.ico")
    images = [(16, bitmap_entry(16)), (32, bitmap_entry(32)), (48, png_entry(48))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = len(data) + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(image for _, image in images)
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
