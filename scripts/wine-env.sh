# Sourced by the scripts that run Windows programs: gives this run its own
# Wine prefix and, when there is no display, its own Xvfb.
#   tr_wine_begin [win32|win64]  prefix + display ready (exports WINEPREFIX,
#                                WINEARCH, DISPLAY); the prefix is win32
#                                unless told or TIPRELAY_WINEARCH says so
#   tr_wine_end                  stops what tr_wine_begin started
# Set TIPRELAY_WINEPREFIX to reuse a prefix across runs (it is kept).

tr_wine_begin() {
  # A new prefix is 64-bit when Wine's 64-bit half is installed; the 32-bit
  # library is tested in a 32-bit prefix, as before, and the x64 one in a
  # 64-bit prefix.
  export WINEARCH="${1:-${TIPRELAY_WINEARCH:-win32}}"
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [ -n "${TIPRELAY_WINEPREFIX:-}" ]; then
    export WINEPREFIX="$TIPRELAY_WINEPREFIX"
    TR_OWN_PREFIX=""
  else
    export WINEPREFIX
    WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/tiprelay-wine.XXXXXX")"
    TR_OWN_PREFIX="$WINEPREFIX"
  fi
  TR_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 140); do
      [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      TR_XVFB_PID=$!
      export DISPLAY=":$n"
      break
    done
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break
      sleep 0.1
    done
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -p 60 >/dev/null 2>&1 || true
}

tr_wine_end() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "${TR_XVFB_PID:-}" ]; then
    kill "$TR_XVFB_PID" 2>/dev/null || true
    wait "$TR_XVFB_PID" 2>/dev/null || true
  fi
  if [ -n "${TR_OWN_PREFIX:-}" ]; then
    rm -rf "$TR_OWN_PREFIX"
  fi
}

# For scripts that may run inside a test run: join the caller's prefix and
# display when it has them, else start our own; tr_wine_leave ends only
# what tr_wine_join started.
tr_wine_join() {
  TR_WINE_JOINED_OWN=0
  if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
    tr_wine_begin "${WINEARCH:-}"
    TR_WINE_JOINED_OWN=1
  fi
}

# A prefix of our own (the caller's stays as it is) whose screen has DPI $1;
# programs started in it from now on see that DPI. Left by tr_wine_leave.
tr_wine_join_dpi() {
  WINEPREFIX=""
  tr_wine_join
  local key
  for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  done
}

tr_wine_leave() {
  if [ "${TR_WINE_JOINED_OWN:-0}" = 1 ]; then
    tr_wine_end
    TR_WINE_JOINED_OWN=0
  fi
}
