#!/usr/bin/env bash
# Two starts of tiphost.exe against one tipserver, the second showing the
# next tip (the display history keeps the first away), each button clicked
# by tipuser with real input: the browser, then the agent with its arguments.
#   tests/e2e/clicks.sh [path/to/tipserver] [windows bin folder]
set -euo pipefail
. "$(dirname "$0")/e2e_begin.sh" clicks
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"

cp server/sample/welcome.gif "$work/"
cat >"$work/catalogue.json" <<'JSON'
{"panel_interval_minutes": 1, "tips": [
    {"id": 3001, "show_first": true, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "picture": "welcome.gif", "title": "Open", "link": "http://e2e.test/link/3001",
     "buttons": [{"caption": "Open", "action": "OPENURL", "url": "http://e2e.test/open/3001"},
                 {"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3001.zip"}]},
    {"id": 3002, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "Download", "text": "Its button hands a download to the agent.",
     "buttons": [{"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3002.zip"}]}]}
JSON
tr_server_start "$work/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
host="$work/host"
tr_host_folder "$host" "$winbin"
cp "$winbin/tipuser.exe" "$work/"
tr_write_ini "$host" NEXTPANEL.INTERVAL=1
tr_wine_join
tr_standins_ready "$winbin" "$work"

# One start: tiphost.exe runs until tipuser, having clicked, stops it.
run=0
start_host() {
  run=$((run + 1))
  rm -f "$work/browser.log" "$work/agent.log"
  (cd "$host" && WINEDEBUG=-all,+debugstr exec timeout 60 wine ./tiphost.exe --user e2e --pid STD --seconds 45) \
    >"$work/host.$run" 2>"$work/wine.$run" &
  host_pid=$!
  (cd "$work" && WINEDEBUG=-all timeout 60 wine ./tipuser.exe --wait 30 "$@" --quit-host) >"$work/user.$run" 2>&1 ||
    tr_fail "run $run: tipuser: $(cat "$work/user.$run"); library: $(tr_library_lines "$work/wine.$run" | tail -5)"
  wait "$host_pid" || tr_fail "run $run: tiphost.exe: $(cat "$work/host.$run")"
  grep -q 'msg_exit returned 1' "$work/host.$run" || tr_fail "run $run: no clean stop: $(cat "$work/host.$run")"
}
said() { grep -q "$1" "$work/user.$run" || tr_fail "run $run: no '$1': $(cat "$work/user.$run")"; }
expect_file() {
  [ "$(cat "$1" 2>/dev/null)" = "$2" ] || tr_fail "run $run: $(basename "$1") holds '$(cat "$1" 2>/dev/null)', not '$2'"
}
tab=$'\t'

# 1: the picture tip, shown first: its cell reaches under the buttons, yet
# the OPENURL button opens the browser once with its own address.
start_host --click button:1
said 'panel: slipzemtraMessPanelClass up at .* size 260x160'
said 'panel: slid away'
expect_file "$work/browser.log" "http://e2e.test/open/3001"
expect_file "$work/agent.log" ""

# 2: the DOWNLOAD button reaches the agent with all eight arguments.
start_host --click button:1
said 'panel: slid away'
expect_file "$work/agent.log" "create
task${tab}\"http://e2e.test/files/3002.zip\"${tab}\"\"${tab}\"C:\\QLDOWNLOAD\\\"${tab}\"\"${tab}\"\"${tab}1${tab}1${tab}10
commit
release"
expect_file "$work/browser.log" ""

echo "clicks: 2 starts, each showed the next tip; the browser and the agent (8 arguments) got their addresses"
