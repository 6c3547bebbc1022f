# Sourced by the scripts that run Windows programs. Decides where the Windows half runs: on this
# host under Wine when it can execute 32-bit x86 programs, otherwise under Wine inside an
# emulated Debian guest (scripts/guest/vm.sh).
#   VORMAK_WINDOWS_GUEST=1   use the guest even where the host could run Wine itself

# Sets windows_host to "native" or "guest"; when neither can work, prints one line naming the
# cause and returns 1.
windows_host_choose() {
  local reason
  if [ "${VORMAK_WINDOWS_GUEST:-0}" != 1 ]; then
    if reason=$(windows_host_runs_i386); then
      windows_host=native
      return 0
    fi
    echo "windows: $reason; the Windows half runs in an emulated guest"
  else
    echo "windows: VORMAK_WINDOWS_GUEST=1: the Windows half runs in an emulated guest"
  fi
  windows_host=guest
  if [ "$(uname -m)" != x86_64 ]; then
    echo "windows: cannot run: this $(uname -m) host runs no 32-bit x86 programs, and the guest needs an x86_64 host" >&2
    return 1
  fi
  if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "windows: cannot run: this host runs no 32-bit x86 programs, and installing the guest's tools needs root or sudo" >&2
    return 1
  fi
  return 0
}

# Succeeds when the kernel itself runs a 32-bit x86 program; otherwise prints why not. A static
# 93-byte program that only exits, so that no 32-bit library needs to be installed to ask.
windows_host_runs_i386() {
  local probe_dir probe status
  probe_dir=$(mktemp -d "${TMPDIR:-/tmp}/i386-probe.XXXXXX")
  probe=$probe_dir/exit0
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0' >"$probe"
  printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0' >>"$probe"
  printf '\270\1\0\0\0\61\333\315\200' >>"$probe"  # mov eax,1; xor ebx,ebx; int 0x80
  chmod 755 "$probe"
  "$probe" 2>/dev/null && status=0 || status=$?
  rm -rf "$probe_dir"
  if [ "$status" -ne 0 ]; then
    echo "this host's kernel runs no 32-bit x86 programs"
    return 1
  fi
  # qemu-user registered for i386 programs runs them too, but far too slowly for Wine.
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    if grep -qs '^magic 7f454c4601010100000000000000000002000300' "$entry" \
        && grep -qs '^enabled' "$entry"; then
      echo "this host runs 32-bit x86 programs only through an emulator (binfmt_misc ${entry##*/})"
      return 1
    fi
  done
  return 0
}
