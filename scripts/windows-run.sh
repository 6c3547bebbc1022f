#!/usr/bin/env bash
# Runs a command that starts Windows programs built in <build dir>, under Xvfb: on this host when
# it runs 32-bit x86 programs, otherwise inside the emulated guest (scripts/guest/vm.sh), with the
# work tree shared at the same path. The command's output, exit status and what it writes into
# the work tree come back as if it had run here.
#   windows-run.sh <build dir> <command> [arguments...]
# Environment passed into the guest: VORMAK_* (but VORMAK_GUEST_*), TARNUP_*, WINEDEBUG.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
. "$root/scripts/windows-host.sh"
if [ -z "${windows_host:-}" ]; then
  windows_host_choose >&2 || exit 1
fi
display=(xvfb-run -a -s "-screen 0 1280x1024x24")
if [ "$windows_host" = native ]; then
  exec "${display[@]}" "$@"
fi

# The guest sees one folder: the work tree that holds the build tree.
share=$(git -C "$build" rev-parse --show-toplevel 2>/dev/null || echo "$root")
case "$build" in
  "$share"/*) ;;
  *) echo "windows: $build is outside the work tree $share, which is all the guest sees" >&2; exit 1 ;;
esac
command_line=$(printf '%q ' "${display[@]}" "$@")
environment=$(env | grep -E '^(VORMAK_|TARNUP_|WINEDEBUG=)' | grep -v '^VORMAK_GUEST_' \
  | while IFS= read -r line; do printf 'export %q\n' "$line"; done || true)
# Wine maps a program's image from its file, and images mapped from the 9p share read back as
# zeros past their first pages: the build tree runs from a copy on the guest's own disk, mounted
# over its shared path. What the command writes there is copied back afterwards (new and changed
# files, and the screenshots folder as a whole, since the runs move it about).
exec bash "$root/scripts/guest/vm.sh" "$share" "
set -u
$environment
export VORMAK_WINDOWS_HOST=guest
# The tests' waits are for hangs; under emulation everything takes about three times as long.
export VORMAK_TEST_TIME_SCALE=\${VORMAK_TEST_TIME_SCALE:-4}
build=$(printf '%q' "$build")
local_copy=/var/tmp/vormak-build
mkdir -p \"\$local_copy\"
cp -a \"\$build/.\" \"\$local_copy/\"
touch -d '-1 second' /var/tmp/vormak-started
mount --bind \"\$local_copy\" \"\$build\"
status=0
$command_line || status=\$?
umount \"\$build\"
(cd \"\$local_copy\" && find . -newer /var/tmp/vormak-started ! -path './artifacts/*' ! -path './artifacts' \\
  \\( -type f -o -type l \\) -exec cp -a --parents -t \"\$build/\" {} +)
if [ -d \"\$local_copy/artifacts\" ]; then
  rm -rf \"\$build/artifacts\" && cp -a \"\$local_copy/artifacts\" \"\$build/artifacts\"
fi
exit \$status
"
