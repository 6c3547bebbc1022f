#!/usr/bin/env python3
"""Checks that Windows binaries load on Windows XP SP3: every function they import (at start or
delay-loaded) must be exported by XP SP3's copy of its DLL, and the PE subsystem version must be
at most 5.01.

    check_xp_imports.py --exports <dir> [--embedded <type>/<id>=<name>]... <binary>...

<dir> holds one list per DLL (<dll name, lower case, without .dll>.txt, one exported name per
line, '#' starts a comment). --embedded also checks a binary carried in each <binary> as the
resource <type>/<id>, scrambled with XOR 0x6B (the program's reporter). A missing resource, an
import XP lacks, a DLL without a list, an import by ordinal or a damaged file fails the check,
each reported on a line of its own. Exit status: 0 all fine, 1 a check failed, 2 bad usage."""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pe_image import Damaged, Image, parse_embedded, shipped_images  # noqa: E402

MAX_SUBSYSTEM_VERSION = (5, 1)


def load_exports(directory):
    exports = {}
    for file_name in os.listdir(directory):
        if not file_name.endswith(".txt"):
            continue
        with open(os.path.join(directory, file_name), encoding="ascii") as listing:
            names = {line.split("#", 1)[0].strip() for line in listing}
        names.discard("")
        exports[file_name[:-4].lower()] = names
    return exports


def check(label, data, exports):
    """Returns the problems of one binary, one line each."""
    try:
        image = Image(data)
        problems = []
        if image.subsystem_version > MAX_SUBSYSTEM_VERSION:
            problems.append("%s: subsystem version %d.%02d, Windows XP needs 5.01 or lower"
                            % ((label,) + image.subsystem_version))
        for dll, name, ordinal, how in image.imports():
            key = dll.lower()
            key = key[:-4] if key.endswith(".dll") else key
            if ordinal is not None:
                problems.append("%s: %s!#%d imported by ordinal (%s); Windows XP SP3's ordinals "
                                "are not checked" % (label, dll, ordinal, how))
            elif key not in exports:
                problems.append("%s: %s!%s (%s): no Windows XP SP3 export list for %s"
                                % (label, dll, name, how, dll))
            elif name not in exports[key]:
                problems.append("%s: %s!%s (%s) is not exported by Windows XP SP3"
                                % (label, dll, name, how))
        return problems
    except Damaged as damage:
        return ["%s: damaged image: %s" % (label, damage)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exports", required=True)
    parser.add_argument("--embedded", action="append", default=[])
    parser.add_argument("binaries", nargs="+")
    arguments = parser.parse_args()
    embedded = parse_embedded(parser, arguments.embedded)
    exports = load_exports(arguments.exports)
    images, problems = shipped_images(arguments.binaries, embedded)
    for label, name, data in images:
        problems += check(label, data, exports)
    checked = len(images)
    for problem in problems:
        print("XP: " + problem)
    if problems:
        print("%d problem(s) in %d binaries" % (len(problems), checked))
        return 1
    print("%d binaries import only what Windows XP SP3 exports" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main())
