#!/usr/bin/env python3
"""Lists or extracts the entries of an Eet archive (the .edj and .eet files of EFL programs).

Usage: extract_eet.py FILE.edj            lists every entry with its size and flags
       extract_eet.py FILE.edj KEY OUT    writes the entry KEY to the file OUT

Only plain entries are read: the pictures we take (edje/images/N of a wallpaper) are stored as
the JPEG files they were made from. Archives from any package may be damaged: every count and
offset is checked against the file before it is used.
"""

import struct
import sys

MAGIC_FILE2 = 0x1EE70F42
HEADER_SIZE = 12
ROW_SIZE = 24  # offset, stored size, data size, name offset, name size, flags
DICTIONARY_ROW_SIZE = 20
FLAG_COMPRESSED = 0x01
FLAG_CIPHERED = 0x02
FLAG_ALIAS = 0x04


class EetError(Exception):
    pass


class Archive:
    def __init__(self, data):
        self.data = data
        if len(data) < HEADER_SIZE:
            raise EetError("not an Eet archive")
        magic, count, words = struct.unpack(">III", data[:HEADER_SIZE])
        if magic != MAGIC_FILE2:
            raise EetError(f"unknown Eet magic {magic:#x}")
        if HEADER_SIZE + count * ROW_SIZE + words * DICTIONARY_ROW_SIZE > len(data):
            raise EetError("directory larger than the archive")
        self.rows = []
        for index in range(count):
            start = HEADER_SIZE + index * ROW_SIZE
            offset, size, data_size, name_offset, name_size, flags = struct.unpack(
                ">6I", data[start:start + ROW_SIZE])
            name = self._read(name_offset, name_size)
            if not name.endswith(b"\0"):
                raise EetError(f"entry {index}: name is not terminated")
            self.rows.append((name[:-1].decode("utf-8", "replace"), offset, size, data_size, flags))

    def _read(self, offset, count):
        if count < 0 or offset + count > len(self.data):
            raise EetError(f"offset {offset}+{count} outside the archive")
        return self.data[offset:offset + count]

    def entries(self):
        """(name, stored size, flags) of every entry, in directory order."""
        return [(name, size, flags) for name, _, size, _, flags in self.rows]

    def read(self, key):
        for name, offset, size, data_size, flags in self.rows:
            if name != key:
                continue
            if flags & (FLAG_COMPRESSED | FLAG_CIPHERED | FLAG_ALIAS) or size != data_size:
                raise EetError(f"{key}: compressed, ciphered or aliased entries are not supported")
            return self._read(offset, size)
        raise EetError(f"{key}: no such entry")


def main(argv):
    if len(argv) not in (2, 4):
        sys.exit(__doc__)
    try:
        with open(argv[1], "rb") as f:
            archive = Archive(f.read())
        if len(argv) == 2:
            for name, size, flags in archive.entries():
                print(f"{size:10} {flags:#04x} {name}")
            return 0
        content = archive.read(argv[2])
    except (OSError, EetError) as error:
        sys.exit(f"{argv[1]}: {error}")
    with open(argv[3], "wb") as out:
        out.write(content)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
