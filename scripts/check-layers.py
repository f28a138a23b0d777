#!/usr/bin/env python3
"""Checks that the qvx tool's folders include only downward.

The folders of tools/qvx/ form layers, lowest first:
    platform < names < archive < setup < cli < commands
A file may include headers of its own folder and of the folders below it. main.cpp, at the top,
may include anything. Includes that lead outside the tool (the launcher's headers, generated
files) are not the tool's layers and pass.

Usage: scripts/check-layers.py [TOOL_ROOT]   (default: tools/qvx next to this script's folder)
Prints one line per upward include ("file: includes "header" (folder is above folder)") and
exits 1 when there is any; exits 0 and prints a count when there is none.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "names", "archive", "setup", "cli", "commands"]
RANK = {name: i for i, name in enumerate(LAYERS)}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SOURCES = {".h", ".hpp", ".cpp", ".cc", ".inc"}


def layer_of(root, path):
    """The layer folder a file of the tree lies in, or None (main.cpp, files outside the layers)."""
    parts = path.relative_to(root).parts
    return parts[0] if len(parts) > 1 and parts[0] in RANK else None


def target_layer(root, source, header):
    """The layer of an included header: spelled from the tool's root ("cli/Cli.h") or next to the
    including file ("FileSystem.h"); None when it leads outside the tool."""
    beside = source.parent / header
    if beside.is_file():
        return layer_of(root, beside.resolve()) if root in beside.resolve().parents else None
    first = pathlib.PurePosixPath(header).parts[0]
    return first if first in RANK else None


def check(root):
    root = root.resolve()
    faults = []
    files = 0
    for path in sorted(root.rglob("*")):
        if path.suffix not in SOURCES or not path.is_file():
            continue
        files += 1
        own = layer_of(root, path)
        if own is None:
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for header in INCLUDE.findall(text):
            target = target_layer(root, path, header)
            if target is not None and RANK[target] > RANK[own]:
                faults.append(f'{path.relative_to(root)}: includes "{header}" ({target} is above {own})')
    return files, faults


def main(argv):
    default = pathlib.Path(__file__).resolve().parent.parent / "tools" / "qvx"
    root = pathlib.Path(argv[1]) if len(argv) > 1 else default
    if not root.is_dir():
        print(f"check-layers: {root}: not a folder", file=sys.stderr)
        return 2
    files, faults = check(root)
    for fault in faults:
        print(f"check-layers: {fault}", file=sys.stderr)
    if faults:
        print(f"check-layers: {len(faults)} upward include(s); the order is {' < '.join(LAYERS)}", file=sys.stderr)
        return 1
    print(f"check-layers: {files} files, no upward include")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
