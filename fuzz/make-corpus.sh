#!/usr/bin/env bash
# Regenerates the seed corpora under fuzz/corpus/<target> with a built qvx (QVX, default
# build/debug/tools/qvx/qvx). Seeds stay small: a few KB per target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qvx=${QVX:-$root/build/debug/tools/qvx/qvx}
out=$root/fuzz/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

rm -rf "$out"
mkdir -p "$out"/{fuzz_archive_walk,fuzz_rle_expand,fuzz_lh5_expand,fuzz_lzh_expand,fuzz_lh5_roundtrip,fuzz_lzh_roundtrip,fuzz_payload_locator,fuzz_entry_name}

# Sample files: text with repeats, a run, binary bytes.
mkdir -p "$tmp/src/Installer" "$tmp/src/docs"
for i in 1 2 3 4 5 6; do echo "line $i: the quick brown fox jumps over the lazy dog"; done > "$tmp/src/docs/readme.txt"
head -c 600 /dev/zero | tr '\0' 'A' > "$tmp/src/run.bin"
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + (i >> 3)) & 255 for i in range(700)))' \
  > "$tmp/src/Installer/Quorvex.exe"
: > "$tmp/src/empty.dat"

cd "$tmp"
for m in non lzh lh5; do
  "$qvx" -q create -m "$m" -C src "$m.qvx" Installer docs run.bin empty.dat
done
"$qvx" -q compress -m lh5 src/docs/readme.txt lh5.raw
"$qvx" -q compress -m lzh src/docs/readme.txt lzh.raw
"$qvx" -q compress -m lh5 src/run.bin lh5run.raw
"$qvx" -q compress -m lzh src/run.bin lzhrun.raw

# Hand-made archives and prefixed streams.
python3 - "$out" "$tmp" <<'EOF'
import struct, sys, os
out, tmp = sys.argv[1], sys.argv[2]

def put(target, name, data):
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)

def read(name):
    with open(os.path.join(tmp, name), "rb") as f:
        return f.read()

def entry(name, method, stored, expanded, checksum):
    n = name.encode()
    return struct.pack("<hHHHiiBII", len(n), 0x6000, 0x58B1, 0x20, expanded, len(stored), method,
                       checksum & 0xFFFFFFFF, 0) + n + stored

def archive(method_id, entries, total):
    return b"SPIS\x1a" + method_id + struct.pack("<iBII", total, 1, 0, 0) + b"".join(entries)

def walk_input(name, data):
    # fuzz_archive_walk: one byte of name length, the name, then the archive.
    n = name.encode()
    return bytes([len(n)]) + n + data

engine = "Installer\\Quorvex.exe"
for m in ("non", "lzh", "lh5"):
    put("fuzz_archive_walk", m + ".bin", walk_input(engine, read(m + ".qvx")))

rle = bytes([0x41, 0x94, 0x05, 0x94, 0x00, 0x94, 0x03, 0x42])
rle_out = b"AAAAA" + b"\x94" * 3 + b"B"
put("fuzz_archive_walk", "rle.bin", walk_input("x", archive(b"RLE", [entry("x", 1, rle, len(rle_out), sum(rle_out))], len(rle_out))))
cus = b"custom bytes"
put("fuzz_archive_walk", "cus.bin", walk_input("c", archive(b"CUS", [entry("c", 3, cus, len(cus), sum(cus))], len(cus))))
put("fuzz_archive_walk", "custom-id.bin", walk_input("c", archive(b"XYZ", [entry("c", 3, cus, len(cus), sum(cus)),
                                                                          entry("C", 0, cus, len(cus), 0)], 2 * len(cus))))
put("fuzz_archive_walk", "short.bin", walk_input("", b"SPIS\x1aLH5"))
# Damage the walk refuses: no LH5 bytes for 2 GB, a stored size past the end, a total size short of
# the entries, a flipped stored byte.
put("fuzz_archive_walk", "lh5-nothing-for-2gb.bin",
    walk_input("x.bin", archive(b"LH5", [entry("x.bin", 4, b"", 0x7FFFFFFF, 0)], 0x7FFFFFFF)))
past_end = bytearray(archive(b"NON", [entry("e", 0, b"payload", 7, sum(b"payload"))], 7))
past_end[21 + 12:21 + 16] = struct.pack("<i", 0x7FFFFFFF)
put("fuzz_archive_walk", "stored-past-end.bin", walk_input("e", bytes(past_end)))
put("fuzz_archive_walk", "total-short.bin", walk_input("z", archive(b"NON", [entry("a", 0, b"first", 5, sum(b"first")),
                                                                          entry("z", 0, b"last", 4, sum(b"last"))], 5)))
put("fuzz_archive_walk", "stored-flipped.bin", walk_input("e", archive(b"NON", [entry("e", 0, b"paxload", 7, sum(b"payload"))], 7)))

# Raw streams: a 4-byte little-endian expanded size, then the stream.
def sized(size, data):
    return struct.pack("<I", size) + data

put("fuzz_rle_expand", "runs.bin", sized(0, rle))
put("fuzz_rle_expand", "escape-first.bin", sized(0, bytes([0x94, 0x04, 0x41, 0x94, 0x01])))
put("fuzz_rle_expand", "lone-escape.bin", sized(0, bytes([0x41, 0x94])))

put("fuzz_lh5_expand", "single-symbol.bin", sized(10, bytes.fromhex("000A0000041000")))
put("fuzz_lh5_expand", "two-codes.bin", sized(4, bytes.fromhex("00 02 20 04 30 10 B6 55 40 10")))
put("fuzz_lh5_expand", "text.bin", sized(os.path.getsize(os.path.join(tmp, "src/docs/readme.txt")), read("lh5.raw")))
put("fuzz_lh5_expand", "run.bin", sized(600, read("lh5run.raw")))

put("fuzz_lzh_expand", "a.bin", sized(1, bytes.fromhex("F680")))
put("fuzz_lzh_expand", "abc.bin", sized(3, bytes.fromhex("F6FBBDE0")))
put("fuzz_lzh_expand", "match.bin", sized(10, bytes.fromhex("F6C90000")))
put("fuzz_lzh_expand", "spaces.bin", sized(5, bytes.fromhex("8E0000")))
put("fuzz_lzh_expand", "empty.bin", sized(3, b""))
put("fuzz_lzh_expand", "text.bin", sized(os.path.getsize(os.path.join(tmp, "src/docs/readme.txt")), read("lzh.raw")))
put("fuzz_lzh_expand", "run.bin", sized(600, read("lzhrun.raw")))

for target in ("fuzz_lh5_roundtrip", "fuzz_lzh_roundtrip"):
    put(target, "text.bin", read("src/docs/readme.txt"))
    put(target, "run.bin", read("src/run.bin"))
    put(target, "binary.bin", read("src/Installer/Quorvex.exe")[:300])
    put(target, "one.bin", b"a")

# fuzz_payload_locator: two bytes of zero padding (little-endian) put in front of the rest.
def payload_input(pad, data):
    return struct.pack("<H", pad) + data

image = b"MZ" + b"\x90" * 60 + b"QVX_SIZE"
arch = read("lh5.qvx")
body = image + struct.pack("<i", 0)  # placeholder for the offset
launcher = image + struct.pack("<i", len(body)) + struct.pack("<I", len(arch)) + arch[:64]
put("fuzz_payload_locator", "patched.bin", payload_input(0, launcher))
put("fuzz_payload_locator", "unpatched.bin", payload_input(0, image + b"XXXX" + b"\x00" * 16))
# The marker begins 4 bytes before the end of the first window and is found in the second.
put("fuzz_payload_locator", "straddle.bin", payload_input(16384 - 4, b"QVX_SIZE" + struct.pack("<i", 16400) + b"\x00" * 64))
put("fuzz_payload_locator", "zero-then-next.bin", payload_input(0, b"QVX_SIZE\x00\x00\x00\x00" + b"." * 40 + b"QVX_SIZE\x05\x00\x00\x00"))

for i, name in enumerate(["Installer\\Quorvex.exe", "docs/readme.txt", "a\\b\\c", "..\\escape", "C:\\x",
                          "\\root", "a\\.\\b", ". .\\x", "dir\\name with space.txt", "a:stream"]):
    put("fuzz_entry_name", "name%d.txt" % i, name.encode())
EOF
python3 "$root/fuzz/make-branding-corpus.py" "$out"
python3 "$root/fuzz/make-lh5-corpus.py" "$out"
du -sb "$out"
