#!/usr/bin/env python3
"""A signed release end to end: makes a throwaway code-signing CA, leaf certificate and PKCS#12
file, runs scripts/release.sh with them into a scratch build tree and dist folder, and checks
what a publisher would ship: the checksum file, the archive's contents, the three binaries'
signatures (vormak.exe and the reporter pair embedded in it; each SHA-1 with SHA-256 nested),
the reporter's record of its signed library, no debug sections and the version resource; then
that release.sh --compare, given the archive, rebuilds it byte for byte from another folder.

    check_release.py <source root> <scratch folder> <version>
"""
import hashlib
import os
import re
import secrets
import shutil
import struct
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pe_image import Image  # noqa: E402

RT_VERSION = 16
REPORTER_EXE = 202
REPORTER_DLL = 203
SCRAMBLE_KEY = 0x6B


def run(*command, **options):
    return subprocess.run(command, check=True, **options)


def make_signer(folder, password):
    """A CA and a code-signing leaf it issued, the leaf and its chain in signer.pfx."""
    ca_key, ca_cert = os.path.join(folder, "ca.key"), os.path.join(folder, "ca.pem")
    leaf_key, leaf_csr = os.path.join(folder, "leaf.key"), os.path.join(folder, "leaf.csr")
    leaf_cert, extensions = os.path.join(folder, "leaf.pem"), os.path.join(folder, "leaf.ext")
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key,
        "-out", ca_cert, "-days", "2", "-subj", "/CN=Vormak release test CA",
        "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign", **quiet)
    run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", leaf_key, "-out", leaf_csr,
        "-subj", "/CN=Vormak release test signer", **quiet)
    with open(extensions, "w") as out:
        out.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                  "extendedKeyUsage=codeSigning\n")
    run("openssl", "x509", "-req", "-in", leaf_csr, "-CA", ca_cert, "-CAkey", ca_key,
        "-set_serial", "2", "-days", "2", "-extfile", extensions, "-out", leaf_cert, **quiet)
    pfx = os.path.join(folder, "signer.pfx")
    run("openssl", "pkcs12", "-export", "-inkey", leaf_key, "-in", leaf_cert,
        "-certfile", ca_cert, "-out", pfx, "-passout", "env:SIGNER_PASSWORD",
        env=dict(os.environ, SIGNER_PASSWORD=password), **quiet)
    return pfx, ca_cert


def verify_signatures(path, ca_cert):
    """Both signatures verify against the CA: SHA-1 first, which is what XP and Vista read, and
    SHA-256 nested in it."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca_cert, "-in", path],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        raise AssertionError("signature of %s does not verify:\n%s" % (path, result.stdout))
    digests = re.findall(r"^Signature Index: (\d+)(.*?)$.*?^Message digest algorithm +: (\w+)",
                         result.stdout, re.M | re.S)
    verified = result.stdout.count("Signature verification: ok")
    if digests != [("0", "  (Primary Signature)", "SHA1"), ("1", " ", "SHA256")] or verified != 2:
        raise AssertionError("%s: expected a SHA1 signature with a nested SHA256 one, both "
                             "verified:\n%s" % (path, result.stdout))


def check_against_published(root, scratch, published, signed_library):
    """What a user does with the published archive: release.sh --compare rebuilds it, in another
    folder, from the sources and the published signatures; and a binary that differs from the
    published one is refused."""
    environment = dict(os.environ, VORMAK_RELEASE_BUILD_DIR=os.path.join(scratch, "rebuild"),
                       VORMAK_RELEASE_DIST_DIR=os.path.join(scratch, "rebuild-dist"))
    for name in ("VORMAK_SIGN_PFX", "VORMAK_SIGN_PASSWORD", "VORMAK_SIGN_TIMESTAMP_URL"):
        environment.pop(name, None)
    rebuild = subprocess.run(["bash", os.path.join(root, "scripts", "release.sh"), "--compare",
                              published], env=environment, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True)
    if rebuild.returncode != 0 or "byte for byte" not in rebuild.stdout:
        raise AssertionError("release.sh --compare failed on its own release:\n" + rebuild.stdout)

    changed = os.path.join(scratch, "changed-tarnup.dll")
    run("osslsigncode", "remove-signature", "-in", signed_library, "-out", changed,
        stdout=subprocess.DEVNULL)
    with open(changed, "r+b") as library:
        library.seek(os.path.getsize(changed) // 2)
        byte = library.read(1)
        library.seek(-1, os.SEEK_CUR)
        library.write(bytes([byte[0] ^ 1]))
    adopt = subprocess.run(["cmake", "-DOSSLSIGNCODE=osslsigncode", "-DREFERENCE=" + signed_library,
                            "-DBINARY=" + changed, "-P",
                            os.path.join(root, "cmake", "AdoptSignatures.cmake")],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if adopt.returncode == 0:
        raise AssertionError("a tarnup.dll that differs from the published one was accepted")


def main():
    root, scratch, version = sys.argv[1:4]
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    password = secrets.token_hex(12)
    pfx, ca_cert = make_signer(scratch, password)
    dist = os.path.join(scratch, "dist")
    environment = dict(os.environ, VORMAK_RELEASE_BUILD_DIR=os.path.join(scratch, "build"),
                       VORMAK_RELEASE_DIST_DIR=dist, VORMAK_SIGN_PFX=pfx,
                       VORMAK_SIGN_PASSWORD=password)
    environment.pop("VORMAK_SIGN_TIMESTAMP_URL", None)
    release = subprocess.run(["bash", os.path.join(root, "scripts", "release.sh")],
                             env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True)
    if release.returncode != 0:
        raise AssertionError("release.sh failed:\n" + release.stdout)
    if password in release.stdout:
        raise AssertionError("the signing password appears in the build output")

    package = "vormak-%s-win32.zip" % version
    run("sha256sum", "-c", "SHA256SUMS", cwd=dist, stdout=subprocess.DEVNULL)
    with open(os.path.join(dist, "SHA256SUMS")) as sums:
        if [line.split()[1] for line in sums] != [package]:
            raise AssertionError("SHA256SUMS does not list exactly " + package)
    with zipfile.ZipFile(os.path.join(dist, package)) as archive:
        names = sorted(archive.namelist())
        if names != ["LICENSE.txt", "README.md", "vormak.exe"]:
            raise AssertionError("archive holds %s" % names)
        program = archive.read("vormak.exe")

    unpacked = os.path.join(scratch, "unpacked")
    os.makedirs(unpacked)
    files = {"vormak.exe": program}
    carrier = Image(program)
    for name, ident in (("tarnrpt.exe", REPORTER_EXE), ("tarnup.dll", REPORTER_DLL)):
        files[name] = bytes(byte ^ SCRAMBLE_KEY for byte in carrier.resource("BIN", ident))
    for name, data in files.items():
        path = os.path.join(unpacked, name)
        with open(path, "wb") as out:
            out.write(data)
        verify_signatures(path, ca_cert)
        image = Image(data)
        debug = [section for section in image.section_names
                 if section.startswith((".debug", "/"))]
        if debug:
            raise AssertionError("%s carries debug sections %s" % (name, debug))
        # VS_FIXEDFILEINFO follows the "VS_VERSION_INFO" key; its file version is the release's.
        info = image.resource(RT_VERSION, 1) or b""
        fixed = info.find(struct.pack("<I", 0xFEEF04BD))
        if fixed < 0:
            raise AssertionError("%s has no fixed version information" % name)
        high, low = struct.unpack("<II", info[fixed + 8:fixed + 16])
        parts = (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
        if ".".join(map(str, parts[:3])) != version:
            raise AssertionError("%s: file version %s, release %s" % (name, parts, version))

    # The reporter accepts only the library whose SHA-256 it was built with: the signed one.
    if hashlib.sha256(files["tarnup.dll"]).digest() not in files["tarnrpt.exe"]:
        raise AssertionError("tarnrpt.exe does not hold the SHA-256 of the signed tarnup.dll")
    check_against_published(root, scratch, os.path.join(dist, package),
                            os.path.join(unpacked, "tarnup.dll"))
    print("signed release %s verified" % package)


if __name__ == "__main__":
    main()
