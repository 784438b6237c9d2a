# Sourced by the demo and the end-to-end scripts: a tipserver on loopback,
# a host folder with tiphost.exe, the test stand-ins for the browser and
# the download agent in the current Wine prefix, and a script's scratch
# folder, failure and clean-up.
#   tr_e2e_begin NAME                scratch folder TR_WORK; at exit (a
#                                    signal's too) the servers stop, the
#                                    script's other programs are waited for,
#                                    a Wine prefix joined is left and TR_WORK
#                                    removed
#   tr_fail TEXT                     "NAME: FAIL: TEXT" on stderr, exit 1
#   tr_server_start CATALOGUE LOG [ARG]...
#                                    tipserver on loopback ports the system
#                                    picks; sets TR_SERVER_PID, TR_TIPS_PORT
#                                    and adds the process to TR_PIDS
#   tr_server_stop                   stops the last one started
#   tr_host_folder DIR WINBIN [HOST] tiprelay.dll and the host program
#                                    (default tiphost.exe) in DIR
#   tr_write_ini DIR [KEY=VALUE]...  message.ini for the server, plus
#                                    SECTION.KEY=VALUE lines
#   tr_standins_install WINBIN       test browser as the prefix's iexplore.exe
#   tr_agent_register WINBIN
#   tr_standins_ready WINBIN DIR     both installed, the agent registered,
#                                    their logs DIR/browser.log and
#                                    DIR/agent.log (TIPRELAY_BROWSER_LOG,
#                                    TIPRELAY_AGENT_LOG exported)
#   tr_library_lines WINE_LOG        the library's debug-output lines

tr_e2e_begin() {
  TR_NAME="$1"
  TR_PIDS=()
  # Bash runs the exit trap on SIGHUP, SIGINT and SIGTERM too.
  trap tr_e2e_end EXIT
  TR_WORK="$(mktemp -d "${TMPDIR:-/tmp}/tiprelay-$1.XXXXXX")"
}

tr_e2e_end() {
  local pid
  for pid in "${TR_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Every other program of the script ends first, but not the Xvfb of a
  # prefix of our own: it ends only with tr_wine_leave below.
  for pid in $(jobs -p); do [ "$pid" = "${TR_XVFB_PID:-}" ] || wait "$pid" 2>/dev/null || true; done
  TR_SERVER_PID=""
  tr_wine_leave
  rm -rf "$TR_WORK"
}

tr_fail() { echo "$TR_NAME: FAIL: $*" >&2; exit 1; }

# Runs COMMAND... every 0.1 s until it succeeds: false once SECONDS have passed without.
tr_wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

tr_server_start() {
  local catalogue="$1" log="$2" i
  shift 2
  # Made before the server opens it, so the first look at it finds a file.
  : >"$log"
  "$TR_TIPSERVER" serve --catalogue "$catalogue" --listen 127.0.0.1:0 --http-listen 127.0.0.1:0 "$@" \
    2>"$log" &
  TR_SERVER_PID=$!
  TR_PIDS+=("$TR_SERVER_PID")
  TR_TIPS_PORT=""
  for i in $(seq 1 100); do
    TR_TIPS_PORT="$(sed -n 's/.*listening tips=127.0.0.1:\([0-9]*\).*/\1/p' "$log")"
    [ -n "$TR_TIPS_PORT" ] && return 0
    kill -0 "$TR_SERVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "tipserver did not start: $(cat "$log")" >&2
  return 1
}

tr_server_stop() {
  [ -n "${TR_SERVER_PID:-}" ] || return 0
  kill "$TR_SERVER_PID" 2>/dev/null || true
  wait "$TR_SERVER_PID" 2>/dev/null || true
  TR_SERVER_PID=""
}

tr_host_folder() {
  mkdir -p "$1"
  cp "$2/tiprelay.dll" "$2/${3:-tiphost.exe}" "$1/"
}

tr_write_ini() {
  local dir="$1" entry section keyvalue
  shift
  {
    printf '[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=%s\r\n' "$TR_TIPS_PORT"
    for entry in "$@"; do
      section="${entry%%.*}"
      keyvalue="${entry#*.}"
      printf '[%s]\r\n%s\r\n' "$section" "$keyvalue"
    done
  } >"$dir/message.ini"
}

# The shell starts the system folder's iexplore.exe (syswow64's in a 64-bit
# prefix); Wine would run its own built-in stand-in for that file, which
# never ends, unless told to load the file itself.
tr_standins_install() {
  local browser="$1/test_browser.exe" folder
  for folder in "$WINEPREFIX/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/syswow64" \
    "$WINEPREFIX/drive_c/Program Files/Internet Explorer" \
    "$WINEPREFIX/drive_c/Program Files (x86)/Internet Explorer"; do
    [ -d "$folder" ] && cp "$browser" "$folder/iexplore.exe"
  done
  wine reg add 'HKCU\Software\Wine\DllOverrides' /v iexplore.exe /d native /f >/dev/null 2>&1
}

tr_agent_register() { wine regsvr32 /s "$(winepath -w "$1/test_agent.dll")" >/dev/null 2>&1; }

tr_standins_ready() {
  tr_standins_install "$1"
  tr_agent_register "$1"
  export TIPRELAY_BROWSER_LOG TIPRELAY_AGENT_LOG
  TIPRELAY_BROWSER_LOG="$(winepath -w "$2/browser.log")"
  TIPRELAY_AGENT_LOG="$(winepath -w "$2/agent.log")"
}

tr_library_lines() { sed -n 's/.*OutputDebugStringA "\(.*\)"$/\1/p' "$1"; }
