#!/usr/bin/env bash
# The whole chain as a user meets it: three starts of tiphost.exe against
# one tipserver, each showing the next tip (the display history keeps the
# earlier ones away), each clicked by tipuser with real input. Checked: the
# browser's recorded address for a button over a wide picture, the agent's
# eight recorded arguments, a "QUILLONBUTTON:" link that does nothing, the
# close box, and the history left in tips\messdisplay.dat.
#   tests/e2e/clicks.sh [path/to/tipserver] [windows bin folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/tip-session.sh
. scripts/wine-env.sh
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"
tr_e2e_begin clicks
work="$TR_WORK"

cp server/sample/welcome.gif "$work/"
cat >"$work/catalogue.json" <<'JSON'
{
  "panel_interval_minutes": 1,
  "tips": [
    {"id": 3001, "show_first": true, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "picture": "welcome.gif", "title": "Open", "link": "http://e2e.test/link/3001",
     "buttons": [{"caption": "Open", "action": "OPENURL", "url": "http://e2e.test/open/3001"},
                 {"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3001.zip"}]},
    {"id": 3002, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "Download", "text": "Its button hands a download to the agent.",
     "buttons": [{"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3002.zip"}]},
    {"id": 3003, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "Command", "text": "Its link is a command for the library.", "link": "QUILLONBUTTON:NOTHING"}
  ]
}
JSON
tr_server_start "$work/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
host="$work/host"
tr_host_folder "$host" "$winbin"
cp "$winbin/tipuser.exe" "$work/"
tr_write_ini "$host" NEXTPANEL.INTERVAL=1
tr_wine_join
tr_standins_ready "$winbin" "$work"

# One start: tiphost.exe runs until tipuser, having clicked, asks it to
# stop (45 s at most); tipuser's report goes to $work/user.N.
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
said() { grep -A"${2:-0}" "${3:-panel}" "$work/user.$run" | grep -q "$1" || tr_fail "run $run: no '$1': $(cat "$work/user.$run")"; }
expect_file() {
  [ "$(cat "$1" 2>/dev/null)" = "$2" ] || tr_fail "run $run: $(basename "$1") holds '$(cat "$1" 2>/dev/null)', not '$2'"
}
tab=$'\t'

# 1: the picture tip (shown first); without a text its picture's cell
# reaches under the buttons, yet its OPENURL button opens the browser once
# with the button's address alone, and the panel slides away.
start_host --screenshot "$(winepath -w "$work/tip.png")" --click button:1
said 'panel: slipzemtraMessPanelClass up at .* size 260x160'
said 'panel: slid away'
expect_file "$work/browser.log" "http://e2e.test/open/3001"
expect_file "$work/agent.log" ""
[ "$(pngtopnm "$work/tip.png" 2>/dev/null | sed -n 2p)" = "260 160" ] || tr_fail "the screenshot is no 260x160 PNG"

# 2: the next tip; its DOWNLOAD button reaches the agent with all eight
# arguments, and the browser stays shut.
start_host --click button:1
said 'panel: slid away'
expect_file "$work/agent.log" "create
task${tab}\"http://e2e.test/files/3002.zip\"${tab}\"\"${tab}\"C:\\QLDOWNLOAD\\\"${tab}\"\"${tab}\"\"${tab}1${tab}1${tab}10
commit
release"
expect_file "$work/browser.log" ""

# 3: a "QUILLONBUTTON:" link does nothing and the panel stays; the close
# box hides it at once.
start_host --click text --click close
said 'panel: stayed up' 1 'click: text'
said 'panel: hidden at once' 1 'click: close'
expect_file "$work/browser.log" ""
expect_file "$work/agent.log" ""

# The history: a 20-byte header (version, count, record size 1036, two
# reserved words), then the records, each starting with its tip's id.
history="$host/tips/messdisplay.dat"
word() { od -An -tu4 -j "$1" -N4 "$history" 2>/dev/null | tr -d ' '; }
ids="$(word 4) $(word 8):$(word 20) $(word 1056) $(word 2092)"
[ "$ids" = "3 1036:3001 3002 3003" ] || tr_fail "messdisplay.dat: count, record size: ids are '$ids'"
echo "clicks: 3 starts, each showed the next tip; browser, agent (8 arguments), command link and close box as expected"
