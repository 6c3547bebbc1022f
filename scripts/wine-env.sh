# Sourced by the scripts that run Windows programs. Sets up the environment for a private Wine
# prefix and offers functions to create and end it.
#   VORMAK_PREFIX  the prefix directory (default: a fresh one under /tmp)

export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts; a crashing program exits at once instead of waiting in winedbg.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# Code page 936: the program's ANSI functions and file names need it.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

# Bounds for Wine's own start-up, stretched where Wine runs under an emulator (the guest sets
# VORMAK_TEST_TIME_SCALE); a first start in a fresh prefix there takes half a minute or more.
wine_time_scale=${VORMAK_TEST_TIME_SCALE:-1}
case "$wine_time_scale" in [1-9] | 1[0-9] | 20) ;; *) wine_time_scale=1 ;; esac
wine_limit() { echo $(($1 * wine_time_scale)); }

# wine_prefix_create [windows version]: the optional version (a winecfg name such as winxp) is
# what Wine then reports to programs (HKCU\Software\Wine "Version"); without it, Wine's default.
wine_prefix_create() {
  local windows=${1:-}
  export WINEPREFIX=${VORMAK_PREFIX:-$(mktemp -d /tmp/vormak-prefix.XXXXXX)}
  mkdir -p "$WINEPREFIX"
  # Start the server first, so that Wine's background processes never inherit a test's pipes.
  timeout "$(wine_limit 60)" wineserver -p
  timeout "$(wine_limit 300)" wine wineboot -i </dev/null >/dev/null 2>&1
  # Without a window manager every hide waits two seconds unless windows are unmanaged.
  timeout "$(wine_limit 60)" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    </dev/null >/dev/null 2>&1
  if [ -n "$windows" ]; then
    timeout "$(wine_limit 60)" wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$windows" /f \
      </dev/null >/dev/null 2>&1 || return 1
  fi
  # Wine's desktop process starts while wineboot is still registering COM's proxies, so it
  # cannot offer the desktop shell's windows (ShellWindows) to other processes, and it lives as
  # long as the server. A restarted server starts a fresh one with the next program.
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  timeout "$(wine_limit 60)" wineserver -p
}

# The Windows version programs in the prefix are told (5.1.2600 for winxp), from "cmd /c ver".
wine_windows_version() {
  timeout "$(wine_limit 60)" wine cmd /c ver </dev/null 2>/dev/null | grep -m 1 -oE '[0-9]+\.[0-9]+\.[0-9]+'
}

wine_prefix_end() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  if [ -z "${VORMAK_KEEP_PREFIX:-}" ] && [ "${WINEPREFIX#/tmp/vormak-prefix.}" != "$WINEPREFIX" ]; then
    rm -rf "$WINEPREFIX"
  fi
}

# Windows form of a Unix path (Wine maps / to drive Z:).
wine_path() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
