#!/usr/bin/env bash
# The whole chain as a user meets it, four starts of tiphost.exe in a row
# against one tipserver: each start shows the next tip (the display
# history keeps the earlier ones away), and tipuser clicks it with real
# input events. Checked: the test browser's recorded address, the test
# agent's eight recorded arguments, the browser instead of a missing agent,
# a "QUILLONBUTTON:" link that does nothing, the close box, and the
# display history left in tips\messdisplay.dat.
#   tests/e2e/clicks.sh [path/to/tipserver] [windows bin folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"
work="$(mktemp -d /tmp/tiprelay-clicks.XXXXXX)"
cleanup() {
  tr_server_stop
  tr_wine_leave
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "clicks: FAIL: $*" >&2; exit 1; }
. scripts/tip-session.sh
. scripts/wine-env.sh

cp server/sample/welcome.gif "$work/"
cat >"$work/catalogue.json" <<'EOF'
{
  "panel_interval_minutes": 1,
  "tips": [
    {"id": 3001, "show_first": true, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "picture": "welcome.gif", "title": "Open",
     "link": "http://e2e.test/link/3001",
     "buttons": [{"caption": "Open", "action": "OPENURL", "url": "http://e2e.test/open/3001"},
                 {"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3001.zip"}]},
    {"id": 3002, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "Download", "text": "Its button hands a download to the agent.",
     "buttons": [{"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3002.zip"}]},
    {"id": 3003, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "No agent", "text": "Without an agent the browser gets the download.",
     "buttons": [{"caption": "Get", "action": "DOWNLOAD", "url": "http://e2e.test/files/3003.zip"}]},
    {"id": 3004, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "Command", "text": "Its link is a command for the library.",
     "link": "QUILLONBUTTON:NOTHING"}
  ]
}
EOF

tr_server_start "$work/catalogue.json" "$work/server.log" || fail "tipserver did not start"
host="$work/host"
tr_host_folder "$host" "$winbin"
cp "$winbin/tipuser.exe" "$work/"
tr_write_ini "$host" NEXTPANEL.INTERVAL=1

tr_wine_join
tr_standins_install "$winbin"
export TIPRELAY_BROWSER_LOG TIPRELAY_AGENT_LOG
TIPRELAY_BROWSER_LOG="$(winepath -w "$work/browser.log")"
TIPRELAY_AGENT_LOG="$(winepath -w "$work/agent.log")"

# One start: tiphost.exe runs until tipuser, having clicked, asks it to
# stop (or 45 s at most); tipuser's report goes to $work/user.N.
run=0
start_host() {
  run=$((run + 1))
  rm -f "$work/browser.log" "$work/agent.log"
  (cd "$host" && WINEDEBUG=-all,+debugstr exec timeout 60 wine ./tiphost.exe --user e2e --pid STD --seconds 45) \
    >"$work/host.$run" 2>"$work/wine.$run" &
  host_pid=$!
}
user() {
  (cd "$work" && WINEDEBUG=-all timeout 60 wine ./tipuser.exe --wait 30 "$@" --quit-host) >"$work/user.$run" 2>&1 ||
    fail "run $run: tipuser: $(cat "$work/user.$run"); library: $(tr_library_lines "$work/wine.$run" | tail -5)"
  wait "$host_pid" || fail "run $run: tiphost.exe: $(cat "$work/host.$run")"
  grep -q 'msg_exit returned 1' "$work/host.$run" || fail "run $run: no clean stop: $(cat "$work/host.$run")"
}
said() { grep -q "$1" "$work/user.$run" || fail "run $run: tipuser did not report '$1': $(cat "$work/user.$run")"; }
lines() { [ -f "$1" ] && cat "$1" || true; }
expect_file() {
  [ "$(lines "$1")" = "$2" ] || fail "run $run: $(basename "$1") holds '$(lines "$1")', expected '$2'"
}
tab=$'\t'

# 1: the picture tip comes first (shown first); without a text its
# picture's cell reaches under the buttons, yet its OPENURL button opens
# the browser once, with the button's address alone, and the panel slides
# away.
tr_agent_register "$winbin"
start_host
user --screenshot "$(winepath -w "$work/tip.png")" --click button:1
said 'panel: slipzemtraMessPanelClass up at .* size 260x160'
said 'panel: slid away'
expect_file "$work/browser.log" "http://e2e.test/open/3001"
expect_file "$work/agent.log" ""
pngtopnm "$work/tip.png" >"$work/tip.ppm" 2>/dev/null || fail "the screenshot does not decode as a PNG"
[ "$(sed -n 2p "$work/tip.ppm")" = "260 160" ] || fail "the screenshot is not 260x160"

# 2: not the same tip again; its DOWNLOAD button reaches the agent with
# all eight arguments, and the browser stays shut.
start_host
user --click button:1
said 'panel: slid away'
expect_file "$work/agent.log" "create
task${tab}\"http://e2e.test/files/3002.zip\"${tab}\"\"${tab}\"C:\\QLDOWNLOAD\\\"${tab}\"\"${tab}\"\"${tab}1${tab}1${tab}10
commit
release"
expect_file "$work/browser.log" ""

# 3: without an agent, the DOWNLOAD button opens the address in the browser.
tr_agent_unregister "$winbin"
start_host
user --click button:1
said 'panel: slid away'
expect_file "$work/browser.log" "http://e2e.test/files/3003.zip"
expect_file "$work/agent.log" ""
tr_agent_register "$winbin"

# 4: a "QUILLONBUTTON:" link does nothing and the panel stays; the close
# box hides it at once.
start_host
user --click text --click close
grep -A1 'click: text' "$work/user.$run" | grep -q 'panel: stayed up' ||
  fail "run $run: the command link moved the panel: $(cat "$work/user.$run")"
grep -A1 'click: close' "$work/user.$run" | grep -q 'panel: hidden at once' ||
  fail "run $run: the close box did not hide the panel: $(cat "$work/user.$run")"
expect_file "$work/browser.log" ""
expect_file "$work/agent.log" ""

# The display history left behind holds the four tips shown: a 20-byte
# header (version, count, record size 1036, two reserved words), then the
# records, each starting with its tip's id.
history="$host/tips/messdisplay.dat"
[ -f "$history" ] || fail "no tips/messdisplay.dat"
word() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
[ "$(word "$history" 4)" = 4 ] || fail "messdisplay.dat holds $(word "$history" 4) entries, expected 4"
[ "$(word "$history" 8)" = 1036 ] || fail "messdisplay.dat record size $(word "$history" 8)"
ids=""
for i in 0 1 2 3; do ids="$ids $(word "$history" $((20 + i * 1036)))"; done
[ "$ids" = " 3001 3002 3003 3004" ] || fail "messdisplay.dat ids:$ids"

echo "clicks: 4 starts, each showed the next tip; browser, agent (8 arguments), agent-missing fallback, command link and close box as expected; history holds$ids"
