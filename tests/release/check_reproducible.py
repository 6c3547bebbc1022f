#!/usr/bin/env python3
"""Two unsigned releases of the same sources, built one after the other from two folders (the
checkout itself and a copy of it under another name), must be the same bytes: nothing of the
folder or of the time of the build may reach the archive.

    check_reproducible.py <source root> <scratch folder>
"""
import os
import shutil
import subprocess
import sys
import zipfile


def git(root, *arguments):
    return subprocess.run(("git", "-C", root) + arguments, check=True, stdout=subprocess.PIPE,
                          text=True).stdout


def copy_sources(root, copy):
    """The checkout's files as they are now (changes not yet committed included), and a .git file
    that points at the same repository, so that the copy has the same last commit."""
    listing = git(root, "ls-files", "-z", "--cached", "--others", "--exclude-standard")
    for name in filter(None, listing.split("\0")):
        source = os.path.join(root, name)
        if not os.path.isfile(source):
            continue  # deleted but not yet committed
        target = os.path.join(copy, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, target)
        shutil.copymode(source, target)
    with open(os.path.join(copy, ".git"), "w") as out:
        out.write("gitdir: %s\n" % git(root, "rev-parse", "--absolute-git-dir").strip())


def release(root, folder):
    environment = dict(os.environ, VORMAK_RELEASE_BUILD_DIR=os.path.join(folder, "build"),
                       VORMAK_RELEASE_DIST_DIR=os.path.join(folder, "dist"))
    for name in ("VORMAK_SIGN_PFX", "VORMAK_SIGN_PASSWORD", "VORMAK_SIGN_TIMESTAMP_URL",
                 "SOURCE_DATE_EPOCH"):
        environment.pop(name, None)
    result = subprocess.run(["bash", os.path.join(root, "scripts", "release.sh")],
                            env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True)
    if result.returncode != 0:
        raise AssertionError("release.sh in %s failed:\n%s" % (root, result.stdout))
    dist = os.path.join(folder, "dist")
    packages = [name for name in os.listdir(dist) if name.endswith(".zip")]
    if len(packages) != 1:
        raise AssertionError("%s holds %s" % (dist, packages))
    return os.path.join(dist, packages[0])


def describe_difference(first, second):
    """Which entries differ, and where, to point at what leaked into the build."""
    lines = []
    with zipfile.ZipFile(first) as one, zipfile.ZipFile(second) as other:
        for left, right in zip(one.infolist(), other.infolist()):
            header = (left.filename, left.date_time, left.external_attr, left.extra)
            if header != (right.filename, right.date_time, right.external_attr, right.extra):
                lines.append("entry %s / %s: headers differ" % (left.filename, right.filename))
                continue
            a, b = one.read(left), other.read(right)
            if a != b:
                offsets = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
                first = hex(offsets[0]) if offsets else "-"
                lines.append("%s: %d and %d bytes, %d differ, first at %s" % (
                    left.filename, len(a), len(b), len(offsets), first))
    return "\n".join(lines) or "same entries, different archive bytes"


def main():
    root, scratch = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    shutil.rmtree(scratch, ignore_errors=True)
    copy = os.path.join(scratch, "another-checkout-of-the-sources")
    copy_sources(root, copy)
    first = release(root, os.path.join(scratch, "first"))
    second = release(copy, os.path.join(scratch, "second-release-tree"))
    with open(first, "rb") as one, open(second, "rb") as other:
        if one.read() != other.read():
            raise AssertionError("the two releases differ:\n" + describe_difference(first, second))
    for dist in (os.path.dirname(first), os.path.dirname(second)):
        subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=dist, check=True,
                       stdout=subprocess.DEVNULL)
    print("%s: the same bytes from two folders" % os.path.basename(first))


if __name__ == "__main__":
    main()
