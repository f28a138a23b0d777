#!/usr/bin/env python3
"""Writes the seeds of fuzz_resource_directory and fuzz_icon_file (called by make-corpus.sh):
a resource section with version information, a manifest, an icon group and a named resource;
a small Windows program carrying it; and .ico files of bitmaps and a PNG. Standard library only.

Usage: fuzz/make-branding-corpus.py CORPUS_DIR
"""
import os
import struct
import sys
import zlib

out = sys.argv[1]


def put(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)


def pad4(b):
    return b + b"\0" * (-len(b) % 4)


def block(key, kind, value, value_length, children=()):
    b = pad4(struct.pack("<HHH", 0, value_length, kind) + (key + "\0").encode("utf-16-le")) + value
    for child in children:
        b = pad4(b) + child
    return struct.pack("<H", len(b)) + b[2:]


def text(key, value):
    return block(key, 1, (value + "\0").encode("utf-16-le"), len(value) + 1)


fixed = struct.pack("<13I", 0xFEEF04BD, 0x10000, 0x10002, 0x30004, 0x10002, 0, 0x3F, 0, 0x40004, 1, 0, 0, 0)
version = block("VS_VERSION_INFO", 0, fixed, 52, [
    block("StringFileInfo", 1, b"", 0, [block("040904B0", 1, b"", 0, [text("CompanyName", "qvx"), text("FileVersion", "1.2")])]),
    block("VarFileInfo", 1, b"", 0, [block("Translation", 0, struct.pack("<HH", 0x409, 1200), 4)])])
manifest = (b'<?xml version="1.0"?><assembly xmlns="urn:schemas-microsoft-com:asm.v1"><trustInfo '
            b'xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges><requestedExecutionLevel '
            b'level="asInvoker"/></requestedPrivileges></security></trustInfo></assembly>')


def bitmap(side, bits):
    colours = 1 << bits if bits <= 8 else 0
    rows = ((side * bits + 31) // 32 * 4 + (side + 31) // 32 * 4) * side
    return struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, bits, 0, 0, 0, 0, 0, 0) + b"\x40" * (4 * colours + rows)


def png(side):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + b"\x10\x20\x30\xff" * side for _ in range(side))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for side, bits, data in images:
        head += struct.pack("<BBBBHHII", side & 255, side & 255, 0, 0, 1, bits, len(data), offset + len(body))
        body += data
    return head + body


icon = bitmap(16, 4)
group = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHIH", 16, 16, 0, 0, 1, 4, len(icon), 1)


def section(rva):
    """A resource directory as resource compilers lay it out (see ResourceDirectory.h)."""
    resources = [(3, 1, 0x409, icon), (14, 1, 0x409, group), (16, 1, 0x409, version), (24, 1, 0x409, manifest)]
    named = ("DATA", 7, 0, b"named type")
    types = [("DATA", [named])] + [(r[0], [r]) for r in resources]
    tables = b""
    layout = []  # (table offset, entries (key, target kind, index))
    size = 16 + 8 * len(types)
    # root, then each type's name table and the name's language table
    offsets = []
    for _ in types:
        offsets.append(size)           # name table
        size += 24
        offsets.append(size)           # language table
        size += 24
    data_entries = size
    size += 16 * len(types)
    name_offset = size
    name = struct.pack("<H", 4) + "DATA".encode("utf-16-le")
    size += len(name)
    out = bytearray(size)
    struct.pack_into("<HH", out, 12, 1, len(types) - 1)
    blobs = b""
    for i, (key, items) in enumerate(types):
        (_, ident, lang, data) = items[0]
        struct.pack_into("<II", out, 16 + 8 * i, (0x80000000 | name_offset) if isinstance(key, str) else key,
                         0x80000000 | offsets[2 * i])
        struct.pack_into("<HHII", out, offsets[2 * i] + 12, 0, 1, ident, 0x80000000 | offsets[2 * i + 1])
        struct.pack_into("<HHII", out, offsets[2 * i + 1] + 12, 0, 1, lang, data_entries + 16 * i)
        start = (size + len(blobs) + 7) // 8 * 8
        blobs += b"\0" * (start - size - len(blobs)) + data
        struct.pack_into("<II", out, data_entries + 16 * i, rva + start, len(data))
    out[name_offset:name_offset + len(name)] = name
    full = bytes(out) + blobs
    return full + b"\0" * (-len(full) % 8)


def image():
    """A PE32+ program: .text at 0x1000 (file 0x200), .rsrc at 0x2000, .reloc behind it."""
    rsrc = section(0x2000)
    rsrc_raw = (len(rsrc) + 0x1FF) // 0x200 * 0x200
    rsrc_pages = (len(rsrc) + 0xFFF) // 0x1000 * 0x1000
    reloc_va = 0x2000 + rsrc_pages
    head = bytearray(0x200)
    head[0:2] = b"MZ"
    struct.pack_into("<I", head, 0x3C, 0x40)
    head[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", head, 0x44, 0x8664, 3, 0, 0, 0, 240, 0x22)
    opt = 0x58
    struct.pack_into("<H", head, opt, 0x20B)
    struct.pack_into("<I", head, opt + 8, rsrc_raw + 0x200)
    struct.pack_into("<II", head, opt + 32, 0x1000, 0x200)
    struct.pack_into("<II", head, opt + 56, reloc_va + 0x1000, 0x200)
    struct.pack_into("<I", head, opt + 108, 16)
    struct.pack_into("<II", head, opt + 112 + 16, 0x2000, len(rsrc))
    struct.pack_into("<II", head, opt + 112 + 40, reloc_va, 12)
    table = opt + 240
    for i, (name, va, vsize, raw, rawsize, flags) in enumerate([
            (b".text", 0x1000, 0x10, 0x200, 0x200, 0x60000020), (b".rsrc", 0x2000, len(rsrc), 0x400, rsrc_raw, 0x40000040),
            (b".reloc", reloc_va, 12, 0x400 + rsrc_raw, 0x200, 0x42000040)]):
        struct.pack_into("<8sIIII12xI", head, table + 40 * i, name, vsize, va, rawsize, raw, flags)
    text_section = b"\xc3" * 0x10 + b"\0" * 0x1F0
    reloc = struct.pack("<IIH", 0x1000, 12, 0xA008) + b"\0" * (0x200 - 10)
    return bytes(head) + text_section + rsrc + b"\0" * (rsrc_raw - len(rsrc)) + reloc


put("fuzz_resource_directory", "section.bin", section(0x1000))
put("fuzz_resource_directory", "image.bin", image())
put("fuzz_icon_file", "bitmaps.ico", ico([(16, 4, bitmap(16, 4)), (16, 32, bitmap(16, 32)), (32, 1, bitmap(32, 1))]))
put("fuzz_icon_file", "png.ico", ico([(48, 32, png(48))]))
put("fuzz_icon_file", "mixed.ico", ico([(8, 8, bitmap(8, 8)), (256, 32, png(256))]))
