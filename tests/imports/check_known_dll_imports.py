#!/usr/bin/env python3
"""Checks that every function a binary imports (at start or delay-loaded) is on an allowlist of
(library, function) pairs that the loader resolves inside the known DLLs, or inside libraries the
program itself took from the system directory before, on every Windows from XP SP3 to 10: a
library found by the ordinary search is looked for beside the program first, and the program is
started elevated from folders any user may write to (Downloads).

    check_known_dll_imports.py --allowlist <file> [--embedded <type>/<id>=<name>]... <binary>...

Each allowlist line is `[<binary>:]<LIBRARY>!<function>  <reason>`; the reason (why the pair, and
any forward the function takes on a later Windows, stays inside the known DLLs) is required. A
<binary> prefix admits the pair for that binary only. Library names compare without case,
functions exactly. --embedded as in check_xp_imports.py. Exit status: 0 all fine, 1 a check
failed, 2 bad usage or a bad allowlist."""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pe_image import Damaged, Image, parse_embedded, shipped_images  # noqa: E402



def load_allowlist(path):
    """{(binary or None, library lower case, function)}; raises ValueError on a bad line."""
    allowed = set()
    with open(path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            words = line.split(None, 1)
            if len(words) < 2 or "!" not in words[0]:
                raise ValueError("%s:%d: expected `[binary:]LIBRARY!function  reason`"
                                 % (path, number))
            binary, _, pair = words[0].rpartition(":")
            library, _, function = pair.partition("!")
            allowed.add((binary.lower() or None, library.lower(), function))
    return allowed


def check(label, binary, data, allowed):
    try:
        problems = []
        for dll, name, ordinal, how in Image(data).imports():
            shown = name if ordinal is None else "#%d" % ordinal
            key = (dll.lower(), shown)
            if (None,) + key not in allowed and (binary.lower(),) + key not in allowed:
                problems.append("%s: %s!%s (%s) is not on the known-DLL allowlist"
                                % (label, dll, shown, how))
        return problems
    except Damaged as damage:
        return ["%s: damaged image: %s" % (label, damage)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--allowlist", required=True)
    parser.add_argument("--embedded", action="append", default=[])
    parser.add_argument("binaries", nargs="+")
    arguments = parser.parse_args()
    try:
        allowed = load_allowlist(arguments.allowlist)
    except ValueError as error:
        print(error)
        return 2
    embedded = parse_embedded(parser, arguments.embedded)
    images, problems = shipped_images(arguments.binaries, embedded)
    for label, name, data in images:
        problems += check(label, name, data, allowed)
    checked = len(images)
    for problem in problems:
        print("KNOWN DLLS: " + problem)
    if problems:
        print("%d problem(s) in %d binaries" % (len(problems), checked))
        return 1
    print("%d binaries import only allowlisted functions of the known DLLs" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main())
