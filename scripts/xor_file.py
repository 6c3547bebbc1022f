#!/usr/bin/env python3
"""Writes a copy of a file with every byte XORed with a one-byte key (default 0x6B)."""
import sys


def main() -> int:
    if len(sys.argv) not in (3, 4):
        print("usage: xor_file.py <input> <output> [key]", file=sys.stderr)
        return 2
    key = int(sys.argv[3], 0) if len(sys.argv) == 4 else 0x6B
    with open(sys.argv[1], "rb") as source:
        data = source.read()
    with open(sys.argv[2], "wb") as target:
        target.write(bytes(b ^ key for b in data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
