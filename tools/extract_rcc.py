#!/usr/bin/env python3
"""Lists or extracts the files of a Qt binary resource bundle (.rcc).

Usage: extract_rcc.py BUNDLE.rcc            lists every file with its size
       extract_rcc.py BUNDLE.rcc OUT [GLOB] writes the files (matching GLOB) under OUT

Bundles from any package may be damaged: every offset is checked against the file, the tree
walk refuses loops, and extracted names never leave OUT.
"""

import fnmatch
import os
import struct
import sys
import zlib

FLAG_COMPRESSED = 0x01
FLAG_DIRECTORY = 0x02
FLAG_ZSTD = 0x04
MAX_ENTRY = 512 * 1024 * 1024


class RccError(Exception):
    pass


class Bundle:
    def __init__(self, data):
        self.data = data
        if len(data) < 20 or data[:4] != b"qres":
            raise RccError("not a Qt resource bundle")
        self.version, self.tree, self.payload, self.names = struct.unpack(">IIII", data[4:20])
        if self.version not in (1, 2, 3):
            raise RccError(f"unknown bundle version {self.version}")
        self.node_size = 14 if self.version == 1 else 22

    def _read(self, offset, count):
        if offset < 0 or count < 0 or offset + count > len(self.data):
            raise RccError(f"offset {offset}+{count} outside the bundle")
        return self.data[offset:offset + count]

    def _name(self, offset):
        (length,) = struct.unpack(">H", self._read(self.names + offset, 2))
        return self._read(self.names + offset + 6, 2 * length).decode("utf-16-be")

    def _node(self, index):
        raw = self._read(self.tree + index * self.node_size, 14)
        name_offset, flags = struct.unpack(">IH", raw[:6])
        return name_offset, flags, raw[6:]

    def _content(self, rest, flags):
        (offset,) = struct.unpack(">I", rest[4:8])
        (size,) = struct.unpack(">I", self._read(self.payload + offset, 4))
        blob = self._read(self.payload + offset + 4, size)
        if flags & FLAG_ZSTD:
            raise RccError("zstd-compressed entries are not supported")
        if flags & FLAG_COMPRESSED:
            if len(blob) < 4:
                raise RccError("compressed entry too short")
            (expected,) = struct.unpack(">I", blob[:4])
            if expected > MAX_ENTRY:
                raise RccError("compressed entry too large")
            inflater = zlib.decompressobj()
            blob = inflater.decompress(blob[4:], expected + 1)
            if len(blob) != expected:
                raise RccError("compressed entry has the wrong length")
        return blob

    def files(self):
        """Yields (path, bytes) for every file, depth first from the root node 0."""
        seen = set()
        stack = [(0, "")]
        while stack:
            index, prefix = stack.pop()
            if index in seen:
                raise RccError("the tree refers back to itself")
            seen.add(index)
            name_offset, flags, rest = self._node(index)
            name = "" if index == 0 else self._name(name_offset)
            path = f"{prefix}/{name}" if prefix else name
            if flags & FLAG_DIRECTORY:
                count, first = struct.unpack(">II", rest[:8])
                if first + count > len(self.data) // self.node_size:
                    raise RccError("directory children outside the bundle")
                for child in reversed(range(first, first + count)):
                    stack.append((child, path))
            else:
                yield path, self._content(rest, flags)


def safe_join(root, relative):
    parts = [p for p in relative.split("/") if p not in ("", ".")]
    if not parts or ".." in parts:
        raise RccError(f"unsafe entry name {relative!r}")
    return os.path.join(root, *parts)


def main(argv):
    if len(argv) not in (2, 3, 4):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    pattern = argv[3] if len(argv) == 4 else "*"
    try:
        with open(argv[1], "rb") as f:
            bundle = Bundle(f.read())
        for path, content in bundle.files():
            if not fnmatch.fnmatch(path, pattern):
                continue
            if len(argv) == 2:
                print(f"{len(content):10d} {path}")
                continue
            target = safe_join(argv[2], path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as out:
                out.write(content)
    except (OSError, RccError, struct.error, zlib.error, UnicodeDecodeError, ValueError) as error:
        print(f"{argv[1]}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
