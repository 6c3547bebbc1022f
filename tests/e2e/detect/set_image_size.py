#!/usr/bin/env python3
"""Sets the SizeOfImage field of a PE file, so that a test library is loaded with exactly the
size a test needs (the loader reserves that much; the module snapshot reports it)."""
import struct
import sys


def main() -> int:
    path, size = sys.argv[1], int(sys.argv[2], 0)
    with open(path, "r+b") as image:
        data = bytearray(image.read())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        optional = pe + 24
        alignment = struct.unpack_from("<I", data, optional + 32)[0]
        current = struct.unpack_from("<I", data, optional + 56)[0]
        if size % alignment or size < current:
            print(f"{path}: cannot set SizeOfImage {size:#x} (now {current:#x}, "
                  f"alignment {alignment:#x})", file=sys.stderr)
            return 1
        struct.pack_into("<I", data, optional + 56, size)
        image.seek(0)
        image.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
