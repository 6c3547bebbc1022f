#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Idempotent: when every package is present and the locale exists it returns in well under a second.
#   bootstrap.sh [native|guest|build]   where the Windows half runs (scripts/windows-host.sh):
#                                       under Wine on this host (the default), or in the emulated
#                                       guest, whose own packages come with its image; "build" for
#                                       the builds alone (the release)
set -euo pipefail
windows_host=${1:-native}

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  googletest libbenchmark-dev libssl-dev osslsigncode openssl python3 locales
)
case "$windows_host" in
  native) packages+=(wine wine32:i386 xvfb xauth x11-utils fonts-wqy-microhei imagemagick x11-apps) ;;
  guest) packages+=(qemu-system-x86 qemu-utils debootstrap e2fsprogs) ;;
  build) ;;
  *) echo "usage: bootstrap.sh [native|guest|build]" >&2; exit 2 ;;
esac

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
if [ "$windows_host" = native ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  missing=("${packages[@]}")
else
  for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Chinese file names need a generated zh_CN.UTF-8 locale, not only LANG set to it.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
echo "bootstrap: ok"
