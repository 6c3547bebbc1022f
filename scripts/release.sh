#!/usr/bin/env bash
# Builds the release from this checkout: a clean Windows build of vormak.exe (the reporter and its
# library embedded), then dist/vormak-<version>-win32.zip (vormak.exe, README.md, LICENSE.txt)
# and dist/SHA256SUMS. The binaries are Authenticode-signed when VORMAK_SIGN_PFX (a PKCS#12
# file) and VORMAK_SIGN_PASSWORD are set, and time-stamped when VORMAK_SIGN_TIMESTAMP_URL is set
# too; otherwise the release is unsigned and the script says so.
#   release.sh --compare <published zip>
# checks a published, signed release against this checkout instead: each binary built here must
# be the published one with its signatures removed, and then takes the published one's place;
# the archive made from them must be the published archive, byte for byte.
# VORMAK_RELEASE_BUILD_DIR and VORMAK_RELEASE_DIST_DIR replace build/release and dist/.
set -euo pipefail
published=
if [ $# -eq 2 ] && [ "$1" = --compare ]; then
  published=$(realpath "$2")
  [ -f "$published" ] || { echo "release: no such file: $2" >&2; exit 1; }
elif [ $# -ne 0 ]; then
  echo "usage: release.sh [--compare <published zip>]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VORMAK_RELEASE_BUILD_DIR:-$root/build/release}
dist=${VORMAK_RELEASE_DIST_DIR:-$root/dist}

bash scripts/bootstrap.sh build

version=$(sed -n 's/^project(Vormak VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no project version in CMakeLists.txt" >&2; exit 1; }
package=vormak-$version-win32.zip

# Every date in the release is the time of the last commit (or SOURCE_DATE_EPOCH when the caller
# sets it): the linker writes it as the PE time stamps, and the archive's entries carry it. Two
# builds of the same commit, wherever and whenever they run, then give the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)
  if [ -z "$SOURCE_DATE_EPOCH" ]; then
    SOURCE_DATE_EPOCH=$(date +%s)
    echo "release: no git history and no SOURCE_DATE_EPOCH: dated now, NOT reproducible" >&2
  fi
fi
export SOURCE_DATE_EPOCH

sign_options=()
if [ -n "$published" ]; then
  if [ -n "${VORMAK_SIGN_PFX:-}" ]; then
    echo "release: --compare signs nothing; unset VORMAK_SIGN_PFX" >&2
    exit 1
  fi
  # The published archive is copied first: it may well be the very file this run replaces.
  reference=$(mktemp -d)
  trap 'rm -rf "$reference"' EXIT
  cp "$published" "$reference/published.zip"
  python3 - "$reference" "$root/tests/support" <<'EOF'
import os, sys, zipfile
folder, support = sys.argv[1:3]
sys.path.insert(0, support)
from pe_image import Image
with zipfile.ZipFile(os.path.join(folder, "published.zip")) as archive:
    program = archive.read("vormak.exe")
binaries = {"vormak.exe": program}
# The reporter and its library travel inside vormak.exe as resources BIN 202 and 203, XOR 0x6B.
for name, ident in (("tarnrpt.exe", 202), ("tarnup.dll", 203)):
    blob = Image(program).resource("BIN", ident)
    if blob is None:
        sys.exit("release: the published vormak.exe carries no %s" % name)
    binaries[name] = bytes(byte ^ 0x6B for byte in blob)
for name, data in binaries.items():
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)
EOF
  sign_options=(-DVORMAK_SIGN_REFERENCE_DIR="$reference")
  echo "release: checking $published against this checkout"
elif [ -n "${VORMAK_SIGN_PFX:-}" ]; then
  # A half-configured signing set-up is a mistake, not a reason to ship unsigned.
  if [ -z "${VORMAK_SIGN_PASSWORD+set}" ]; then
    echo "release: VORMAK_SIGN_PFX is set but VORMAK_SIGN_PASSWORD is not" >&2
    exit 1
  fi
  [ -f "$VORMAK_SIGN_PFX" ] || { echo "release: no such file: $VORMAK_SIGN_PFX" >&2; exit 1; }
  sign_options=(-DVORMAK_SIGN_PFX="$(realpath "$VORMAK_SIGN_PFX")"
                -DVORMAK_SIGN_TIMESTAMP_URL="${VORMAK_SIGN_TIMESTAMP_URL:-}")
  echo "release: signing with $VORMAK_SIGN_PFX${VORMAK_SIGN_TIMESTAMP_URL:+, time stamps from $VORMAK_SIGN_TIMESTAMP_URL}"
else
  echo "release: VORMAK_SIGN_PFX is not set: the binaries are NOT signed"
fi

# Always from scratch, so that nothing of an earlier configuration (a signing set-up included)
# carries over; a folder that is not a CMake build tree is left alone.
if [ -e "$build" ] && [ ! -f "$build/CMakeCache.txt" ] && [ -n "$(ls -A "$build")" ]; then
  echo "release: $build exists and is not a build tree; not removing it" >&2
  exit 1
fi
rm -rf "$build"

echo "== release build ($version) =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" -DVORMAK_TESTS=OFF \
  "${sign_options[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target vormak

program=$build/app/vormak.exe
for binary in "$program" "$build/reporter/tarnrpt.exe" "$build/reporter/tarnup.dll"; do
  if i686-w64-mingw32-objdump -h "$binary" | grep -q ' \.debug'; then
    echo "release: $binary carries debug sections" >&2
    exit 1
  fi
done

echo "== package =="
mkdir -p "$dist"
rm -f "$dist/$package" "$dist/SHA256SUMS"
# The entries come in a fixed order, carry the commit's time, fixed permissions and no extra
# fields, so that the same binaries give the same archive.
python3 - "$dist/$package" "$SOURCE_DATE_EPOCH" "$program" README.md LICENSE.txt <<'EOF'
import os, sys, time, zipfile
archive, stamp, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
date_time = time.gmtime(max(stamp, 315532800))[:6]  # zip dates start in 1980
with zipfile.ZipFile(archive, "w") as out:
    for path in files:
        entry = zipfile.ZipInfo(os.path.basename(path), date_time)
        entry.create_system = 3  # the attributes below are Unix ones, whatever builds the zip
        entry.external_attr = 0o644 << 16
        with open(path, "rb") as source:
            out.writestr(entry, source.read(), zipfile.ZIP_DEFLATED, 9)
EOF
(cd "$dist" && sha256sum "$package" > SHA256SUMS)

echo "release: $dist/$package"
cat "$dist/SHA256SUMS"
if [ -n "$published" ]; then
  if ! cmp -s "$reference/published.zip" "$dist/$package"; then
    echo "release: $published differs from the archive built here (its binaries match)" >&2
    exit 1
  fi
  echo "release: $published is this checkout's release, byte for byte"
elif [ ${#sign_options[@]} -eq 0 ]; then
  echo "release: unsigned (set VORMAK_SIGN_PFX and VORMAK_SIGN_PASSWORD to sign)"
fi
