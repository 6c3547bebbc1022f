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
# The command runs in a copy of the work tree on the guest's own disk, at the same path, and what
# it writes there is copied back afterwards (new and changed files, and the build tree's
# screenshots folder as a whole, since the runs move it about). Two reasons: Wine maps a
# program's image from its file, and images mapped from the 9p share read back as zeros past
# their first pages; and Wine reports a mount point as a reparse point, so below the share's
# mount every file looks as if it were reached through a link.
exec bash "$root/scripts/guest/vm.sh" "$share" "
set -u
$environment
export VORMAK_WINDOWS_HOST=guest
# The tests' waits are for hangs; under emulation everything takes about three times as long.
export VORMAK_TEST_TIME_SCALE=\${VORMAK_TEST_TIME_SCALE:-4}
share=$(printf '%q' "$share")
build=$(printf '%q' "${build#"$share"/}")
here=\$PWD
shared=/run/vormak-share
mkdir -p \"\$shared\"
mount --move \"\$share\" \"\$shared\"
(cd \"\$shared\" && find . -mindepth 1 -maxdepth 1 ! -name .git ! -name build -exec cp -a -t \"\$share/\" {} +)
if [ ! -d \"\$share/\$build\" ]; then
  mkdir -p \"\$share/\$build\" && cp -a \"\$shared/\$build/.\" \"\$share/\$build/\"
fi
touch -d '-1 second' /var/tmp/vormak-started
cd \"\$here\"
status=0
$command_line || status=\$?
cd /
(cd \"\$share\" && find . -newer /var/tmp/vormak-started ! -path \"./\$build/artifacts/*\" \\
  ! -path \"./\$build/artifacts\" \\( -type f -o -type l \\) -exec cp -a --parents -t \"\$shared/\" {} +)
if [ -d \"\$share/\$build/artifacts\" ]; then
  rm -rf \"\$shared/\$build/artifacts\" && cp -a \"\$share/\$build/artifacts\" \"\$shared/\$build/artifacts\"
fi
mount --move \"\$shared\" \"\$share\"
exit \$status
"
