#!/usr/bin/env bash
# Runs one shell command inside a Debian 12 guest (amd64 with i386 multiarch, 32-bit Wine, Xvfb)
# under qemu-system-x86_64 with software emulation, for hosts that cannot execute 32-bit x86
# programs themselves.
#   vm.sh <share dir> '<shell command>'
# The share dir appears in the guest at the same path (9p); the command runs there as root under
# bash, and its output and exit status come back. Everything else it writes goes to a throwaway
# overlay. The first call builds the guest image from Debian's packages (about 5 minutes) and
# keeps it in $VORMAK_GUEST_CACHE (default /var/cache/vormak-guest); later calls boot it in about
# 15 s. A change to the package list or to the guest's start script rebuilds it.
# Knobs: VORMAK_GUEST_MEM (6G), VORMAK_GUEST_CPUS (2), VORMAK_GUEST_TIMEOUT (seconds, 5400),
#        VORMAK_GUEST_VERBOSE=1 (guest console on stderr), VORMAK_GUEST_MIRROR (Debian mirror).
set -euo pipefail

cache=${VORMAK_GUEST_CACHE:-/var/cache/vormak-guest}
suite=bookworm
# What the Windows half needs at run time; the build itself stays on the host.
packages="linux-image-amd64 initramfs-tools kmod procps iproute2
 wine wine32:i386 xvfb xauth x11-utils x11-apps fonts-wqy-microhei locales imagemagick
 python3 openssl cmake bash ca-certificates"
# -cpu max makes every 32-bit Wine process die with SIGKILL under TCG; Nehalem does not.
cpu=Nehalem

log() { echo "guest: $*" >&2; }
die() { log "$*"; exit 125; }

# PID 1 of the guest: mounts, runs /run/ctl/cmd.sh with its output on two virtio ports, powers off.
guest_init() {
  cat <<'INIT'
#!/bin/bash
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8 TERM=dumb USER=root LOGNAME=root SHELL=/bin/bash
power_off() { sync; echo o >/proc/sysrq-trigger; sleep 30; }
trap power_off EXIT
mount -t proc proc /proc; mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm /run /tmp
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=755 tmpfs /run
mount -o remount,rw /
ln -sfn /proc/self/fd /dev/fd
ln -sf /proc/self/fd/0 /dev/stdin; ln -sf /proc/self/fd/1 /dev/stdout; ln -sf /proc/self/fd/2 /dev/stderr
hostname vormak-guest; ip link set lo up
modprobe -a 9pnet_virtio 9p virtio_console
mkdir -p /run/ctl
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 ctl /run/ctl || exit 1
. /run/ctl/env.sh
mkdir -p "$GUEST_SHARE"
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=mmap share "$GUEST_SHARE"; then
  echo 125 >/run/ctl/rc; exit 1
fi
port() {
  local d
  for d in /sys/class/virtio-ports/*; do
    [ "$(cat "$d/name")" = "$1" ] && { echo "/dev/${d##*/}"; return; }
  done
  echo /dev/console
}
cd "$GUEST_SHARE"
bash /run/ctl/cmd.sh </dev/null >"$(port out)" 2>"$(port err)"
echo $? >/run/ctl/rc.tmp && mv /run/ctl/rc.tmp /run/ctl/rc
cd /; umount "$GUEST_SHARE"; umount /run/ctl
INIT
}

image_stamp() { { echo "$suite $cpu"; echo "$packages"; guest_init; } | sha256sum | cut -c1-16; }

host_mirror() {
  if [ -n "${VORMAK_GUEST_MIRROR:-}" ]; then echo "$VORMAK_GUEST_MIRROR"; return; fi
  local m
  m=$(grep -hsE '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' | grep -E '/debian/?$' | head -n 1 || true)
  [ -n "$m" ] || m=$(grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | awk '{print $2}' | grep -E '/debian/?$' | head -n 1 || true)
  [ -n "$m" ] || die "no Debian mirror in the host's apt sources: set VORMAK_GUEST_MIRROR"
  echo "${m%/}"
}

rootfs=
unmount_rootfs() {
  [ -n "$rootfs" ] || return 0
  local m
  for m in var/cache/apt/archives dev/pts dev sys proc; do umount "$rootfs/$m" 2>/dev/null || true; done
}

build_image() {
  local started mirror megabytes
  started=$(date +%s)
  mirror=$(host_mirror)
  [ "$(id -u)" -eq 0 ] || die "building the guest image needs root (debootstrap, chroot)"
  log "building the guest image in $cache from $mirror (about 5 minutes, once)"
  rootfs=$cache/rootfs
  trap 'unmount_rootfs; cleanup_run' EXIT
  unmount_rootfs
  rm -rf "$rootfs" "$cache/root.img.new"
  mkdir -p "$cache/debs/partial"
  # Reuse the host's downloaded packages: debootstrap and apt take only files whose checksums match.
  cp -n /var/cache/apt/archives/*.deb "$cache/debs/" 2>/dev/null || true
  debootstrap --variant=minbase --arch=amd64 --cache-dir="$cache/debs" "$suite" "$rootfs" "$mirror" >&2
  mount -t proc proc "$rootfs/proc"; mount -t sysfs sys "$rootfs/sys"
  mount --bind /dev "$rootfs/dev"; mount --bind /dev/pts "$rootfs/dev/pts"
  mount --bind "$cache/debs" "$rootfs/var/cache/apt/archives"
  cat >"$rootfs/etc/apt/sources.list" <<SOURCES
deb $mirror $suite main
deb $mirror $suite-updates main
deb ${mirror%/debian}/debian-security $suite-security main
SOURCES
  echo 'APT::Install-Recommends "false";' >"$rootfs/etc/apt/apt.conf.d/90norecommends"
  # A small initramfs: only what mounts the root disk and the 9p shares.
  mkdir -p "$rootfs/etc/initramfs-tools/conf.d"
  printf '%s\n' virtio_pci virtio_blk virtio_console 9pnet 9pnet_virtio 9p ext4 >>"$rootfs/etc/initramfs-tools/modules"
  echo MODULES=list >"$rootfs/etc/initramfs-tools/conf.d/vormak-guest.conf"
  printf 'en_US.UTF-8 UTF-8\nzh_CN.UTF-8 UTF-8\n' >"$rootfs/etc/locale.gen"
  echo 'LABEL=vormakguest / ext4 defaults 0 1' >"$rootfs/etc/fstab"
  chroot "$rootfs" dpkg --add-architecture i386
  chroot "$rootfs" apt-get update -qq >&2
  # shellcheck disable=SC2086
  chroot "$rootfs" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $packages >&2
  chroot "$rootfs" locale-gen >&2
  guest_init >"$rootfs/sbin/vormak-guest-init"
  chmod 755 "$rootfs/sbin/vormak-guest-init"
  unmount_rootfs
  chroot "$rootfs" apt-get clean
  cp -L "$rootfs/vmlinuz" "$cache/vmlinuz"
  cp -L "$rootfs/initrd.img" "$cache/initrd.img"
  megabytes=$(du -sm "$rootfs" | cut -f1)
  mke2fs -q -t ext4 -L vormakguest -d "$rootfs" "$cache/root.img.new" "$((megabytes + 4096))M" >&2
  rm -rf "$rootfs"; rootfs=
  mv "$cache/root.img.new" "$cache/root.img"
  image_stamp >"$cache/stamp"
  trap cleanup_run EXIT
  log "guest image built in $(( $(date +%s) - started )) s"
}

run_dir=
qemu_pid=
cleanup_run() {
  [ -z "$qemu_pid" ] || kill "$qemu_pid" 2>/dev/null || true
  [ -z "$run_dir" ] || rm -rf "$run_dir"
}

# boot_and_run <share> <command>: sets guest_status.
boot_and_run() {
  local share=$1 out_reader err_reader console_reader
  guest_status=125
  mkdir -p /tmp/vormak-guest
  run_dir=$(mktemp -d /tmp/vormak-guest/run.XXXXXX)
  mkdir "$run_dir/ctl"
  printf '%s\n' "$2" >"$run_dir/ctl/cmd.sh"
  printf 'GUEST_SHARE=%q\n' "$share" >"$run_dir/ctl/env.sh"
  qemu-img create -q -f qcow2 -F raw -b "$cache/root.img" "$run_dir/overlay.qcow2"
  mkfifo "$run_dir/out" "$run_dir/err" "$run_dir/console"
  cat "$run_dir/out" & out_reader=$!
  cat "$run_dir/err" >&2 & err_reader=$!
  if [ "${VORMAK_GUEST_VERBOSE:-0}" = 1 ]; then tee "$run_dir/console.log" <"$run_dir/console" >&2 &
  else cat "$run_dir/console" >"$run_dir/console.log" & fi
  console_reader=$!
  # Hold the fifos open for writing, so that their readers see EOF only once qemu is gone.
  exec 3<>"$run_dir/out" 4<>"$run_dir/err" 5<>"$run_dir/console"
  timeout -k 10 "${VORMAK_GUEST_TIMEOUT:-5400}" \
    qemu-system-x86_64 -accel tcg,thread=multi -smp "${VORMAK_GUEST_CPUS:-2}" \
      -m "${VORMAK_GUEST_MEM:-6G}" -cpu "$cpu" -machine q35 -nodefaults -nographic \
      -monitor none -no-reboot -serial "file:$run_dir/console" \
      -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
      -append "root=/dev/vda rw console=ttyS0 init=/sbin/vormak-guest-init quiet loglevel=3 panic=-1 mitigations=off tsc=reliable" \
      -drive "file=$run_dir/overlay.qcow2,if=virtio,format=qcow2,cache=unsafe,discard=unmap" \
      -virtfs "local,path=$run_dir/ctl,mount_tag=ctl,security_model=none,id=ctl" \
      -virtfs "local,path=$share,mount_tag=share,security_model=none,id=share" \
      -device virtio-rng-pci -nic none -device virtio-serial-pci \
      -chardev "file,id=out,path=$run_dir/out" -device virtserialport,chardev=out,name=out \
      -chardev "file,id=err,path=$run_dir/err" -device virtserialport,chardev=err,name=err \
      </dev/null 3>&- 4>&- 5>&- &
  qemu_pid=$!
  wait "$qemu_pid" || true
  qemu_pid=
  exec 3>&- 4>&- 5>&-
  wait "$out_reader" "$err_reader" "$console_reader" 2>/dev/null || true
  if [ -f "$run_dir/ctl/rc" ]; then
    guest_status=$(cat "$run_dir/ctl/rc")
  else
    log "the guest did not report an exit status; the end of its console:"
    tail -n 40 "$run_dir/console.log" >&2 || true
  fi
  rm -rf "$run_dir"; run_dir=
}

[ $# -eq 2 ] || { echo "usage: $0 <share dir> '<shell command>'" >&2; exit 2; }
share=$(realpath -e -- "$1") || die "no such folder: $1"
command -v qemu-system-x86_64 >/dev/null && command -v qemu-img >/dev/null \
  || die "qemu-system-x86_64 and qemu-img are missing (Debian: qemu-system-x86 qemu-utils)"
mkdir -p "$cache"
trap cleanup_run EXIT
trap 'exit 130' INT TERM
if [ "$(cat "$cache/stamp" 2>/dev/null)" != "$(image_stamp)" ]; then
  exec 9>"$cache/build.lock"
  flock 9
  if [ "$(cat "$cache/stamp" 2>/dev/null)" != "$(image_stamp)" ]; then build_image; fi
  exec 9>&-
fi
boot_and_run "$share" "$2"
exit "$guest_status"
