#!/usr/bin/env python3
"""Turns a Wine/ReactOS .spec file into the list of names a 32-bit Windows XP (NT 5.1) program can
import from that DLL, one per line, sorted.

    reactos_exports.py <file.spec> [--drop <name>]... > <dll>.txt

Kept: entries exported by name for i386 whose version range, if any, includes 0x501. Left out:
commented lines, entries for other architectures (-arch= without i386/win32), entries whose
-version= range excludes 0x501 (for example 0x600+ or 0x502), entries without a name (-noname,
or '@' in the name column) and -ordinal entries (meant to be imported by ordinal). --drop leaves
out further names the source lists but Windows XP SP3 lacks (Server 2003 additions)."""
import argparse
import re
import sys

XP = 0x501
ENTRY_TYPES = {"stdcall", "cdecl", "varargs", "thiscall", "fastcall", "extern", "stub", "equate"}


def version_includes_xp(flag):
    """-version=0x600+, -version=0x501-0x502, -version=0x502."""
    value = flag.split("=", 1)[1]
    if value.endswith("+"):
        return XP >= int(value[:-1], 16)
    low, _, high = value.partition("-")
    return int(low, 16) <= XP <= int(high or low, 16)


def arch_includes_i386(flag):
    return bool({"i386", "win32"} & set(flag.split("=", 1)[1].split(",")))


def exported_name(line):
    """The name line exports for an i386 XP program, or None."""
    line = line.strip()
    if not line or line[0] in "#;":
        return None
    words = line.split()
    if len(words) < 3 or words[1] not in ENTRY_TYPES:
        return None
    position = 2
    while position < len(words) and words[position].startswith("-"):
        flag = words[position]
        if flag in ("-noname", "-ordinal"):
            return None
        if flag.startswith("-arch=") and not arch_includes_i386(flag):
            return None
        if flag.startswith("-version=") and not version_includes_xp(flag):
            return None
        position += 1
    if position == len(words):
        return None
    name = re.split(r"[\s(]", words[position], maxsplit=1)[0]
    if not name or name == "@":
        return None
    return name


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("spec")
    parser.add_argument("--drop", action="append", default=[])
    arguments = parser.parse_args()
    with open(arguments.spec, encoding="utf-8", errors="replace") as spec:
        names = {exported_name(line) for line in spec}
    names.discard(None)
    names -= set(arguments.drop)
    sys.stdout.write("".join(name + "\n" for name in sorted(names)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
