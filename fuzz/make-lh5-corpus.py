#!/usr/bin/env python3
"""Writes the seeds of fuzz_lh5_differential (called by make-corpus.sh): data made here, the same
bytes on every run. Each seed is three control bytes (read size, cancel and growth, output limit
and chunking; see FuzzLh5Differential.cpp) and then the data.

- text.bin: a short phrase repeated (the smallest input with matches);
- zeros.bin: 3,000 zero bytes (one long run: matches of the longest length back to back);
- pieces.bin: 10,000 bytes read one byte at a time, cancelled at the second progress call: lines
  of program-like text made of a small vocabulary, so that words, phrases and whole lines repeat at
  distances from a few bytes to beyond the 8 KB window, with a few binary stretches (random bytes,
  runs of one byte, counting patterns) and long copies of earlier stretches (matches that reach the
  longest match length);
- grown.bin: 3,000 bytes of the same kind, marked to be grown to 160 KB by the target (a slow run
  over many chunks of the threaded encoder).

Usage: fuzz/make-lh5-corpus.py CORPUS_DIR
"""
import os
import sys

out = sys.argv[1]


class Random:
    """xorshift32: small, and the same sequence on every Python."""

    def __init__(self, seed):
        self.x = seed

    def next(self):
        x = self.x
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.x = x
        return x

    def below(self, n):
        return self.next() % n

    def pick(self, items):
        return items[self.below(len(items))]


WORDS = ("archive entry stream block window match length offset literal table code tree count size "
         "byte bytes read write expand compress header checksum source target name folder file "
         "setup launcher engine payload marker buffer position distance symbol bits level").split()
TYPES = ("int", "unsigned", "std::uint8_t", "std::int32_t", "std::size_t", "bool", "auto")
OPS = ("+", "-", "<<", ">>", "&", "|", "^", "*")


def identifier(rng):
    parts = [rng.pick(WORDS) for _ in range(1 + rng.below(3))]
    return parts[0] + "".join(p.capitalize() for p in parts[1:])


def sentence(rng):
    words = [rng.pick(WORDS) for _ in range(4 + rng.below(9))]
    return " ".join(words).capitalize() + "."


def line(rng, depth):
    indent = "    " * depth
    kind = rng.below(8)
    if kind == 0:
        return indent + "// " + sentence(rng) + "\n"
    if kind == 1:
        return indent + "for (%s i = 0; i < %s; ++i) {\n" % (rng.pick(TYPES), identifier(rng))
    if kind == 2:
        return indent + "if (%s %s %d) return %s;\n" % (identifier(rng), rng.pick(OPS), rng.below(300),
                                                         identifier(rng))
    if kind == 3:
        return indent + "}\n"
    if kind == 4:
        return indent + ".TP\n\\fB\\-\\-%s\\fR %s\n" % (rng.pick(WORDS), sentence(rng))
    return indent + "%s %s = %s(%s, %d);\n" % (rng.pick(TYPES), identifier(rng), identifier(rng).capitalize(),
                                                identifier(rng), rng.below(1 << 16))


def binary(rng):
    kind = rng.below(3)
    n = 16 + rng.below(240)
    if kind == 0:
        return bytes(rng.below(256) for _ in range(n))
    if kind == 1:
        return bytes([rng.below(256)]) * n
    start, step = rng.below(256), 1 + rng.below(7)
    return bytes((start + i * step) & 0xFF for i in range(n))


def mixed(seed, size):
    """Text-like data with binary stretches, repeats near and far, and long copies."""
    rng = Random(seed)
    data = bytearray()
    lines = []
    depth = 0
    while len(data) < size:
        roll = rng.below(100)
        if roll < 6:
            data += binary(rng)
        elif roll < 10 and len(data) > 600:
            # A long copy of an earlier stretch: a match longer than the longest match length.
            length = 260 + rng.below(400)
            start = rng.below(len(data) - length) if len(data) > length else 0
            data += data[start:start + length]
        elif roll < 22 and lines:
            # A whole earlier line again: a repeat from a few bytes to far back.
            data += rng.pick(lines)
        else:
            text = line(rng, depth).encode()
            depth = max(0, min(4, depth + (1 if text.rstrip().endswith(b"{") else -1 if text.strip() == b"}" else 0)))
            lines.append(text)
            data += text
    return bytes(data[:size])


def put(name, control, data):
    folder = os.path.join(out, "fuzz_lh5_differential")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(control) + data)


# Read size 8192, no cancel, no output limit.
put("text.bin", (0, 0, 0), b"abcabcabcabc hello hello hello")
# Read size 100 (index 3), no cancel, no output limit.
put("zeros.bin", (3, 0, 0), bytes(3000))
# Read size 1, cancel at the second progress call, no output limit.
put("pieces.bin", (1, 2, 0), mixed(0x51A7E5, 10000))
# Read size 8192, grown to 160 KB (top three bits set), chunks of 2 + 7 % 5 = 4 cycles.
put("grown.bin", (0, 0xE0, 7), mixed(0x6A0B1D, 3000))
