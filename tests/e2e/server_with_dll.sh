#!/usr/bin/env bash
# tipserver serving the real library end to end: tiphost.exe under Wine
# loads tiprelay.dll, which asks tipserver (sample catalogue, loopback) for
# tips and fetches their pictures; afterwards message.dat holds the
# catalogue's tips, tips\ holds their pictures byte for byte, and
# message.ini holds the server's last-time value and panel interval.
#   tests/e2e/server_with_dll.sh [path/to/tipserver] [windows bin folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"
sample="$(pwd)/server/sample"
. scripts/wine-env.sh
. scripts/tip-session.sh
tr_e2e_begin server-with-dll
work="$TR_WORK"
host="$work/host"

tr_host_folder "$host" "$winbin"
tr_server_start "$sample/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
tr_write_ini "$host"
# Inside the test run's Wine prefix and display when the caller has them.
tr_wine_join
(cd "$host" && WINEDEBUG=-all,+debugstr timeout 180 wine ./tiphost.exe --user e2e --pid PRO --seconds 5) \
  2>"$work/wine.log" || tr_fail "tiphost.exe failed: $(tail -20 "$work/wine.log")"

log_has() { grep -q "$1" "$work/server.log" || tr_fail "server log lacks '$1': $(cat "$work/server.log")"; }
log_has 'query peer=127.0.0.1:[0-9]* user="e2e" pid="PRO" last_time=0 message_id=0 tips=4 '
log_has 'picture peer=.* path="/welcome.gif" status=200'
log_has 'picture peer=.* path="/banner.jpg" status=200'

# message.dat: a 20-byte little-endian header (version, count, record size,
# two reserved words), then the 5407-byte records, each starting with its id.
dat="$host/tips/message.dat"
[ -f "$dat" ] || tr_fail "no tips/message.dat; library log: $(tr_library_lines "$work/wine.log")"
word() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
[ "$(word "$dat" 4)" = 4 ] || tr_fail "message.dat holds $(word "$dat" 4) tips, expected 4"
[ "$(word "$dat" 8)" = 5407 ] || tr_fail "message.dat record size $(word "$dat" 8)"
[ "$(stat -c %s "$dat")" = $((20 + 4 * 5407)) ] || tr_fail "message.dat is $(stat -c %s "$dat") bytes"
ids=""
for i in 0 1 2 3; do ids="$ids $(word "$dat" $((20 + i * 5407)))"; done
[ "$(echo $ids | tr ' ' '\n' | sort | tr '\n' ' ')" = "1001 1002 1003 1004 " ] || tr_fail "message.dat ids:$ids"

cmp -s "$host/tips/1001.gif" "$sample/welcome.gif" || tr_fail "tips/1001.gif differs from the served welcome.gif"
cmp -s "$host/tips/1002.gif" "$sample/banner.jpg" || tr_fail "tips/1002.gif differs from the served banner.jpg"

ini="$(tr -d '\r' <"$host/message.ini")"
echo "$ini" | grep -qx 'PID=1709251200' || tr_fail "message.ini lacks the server's last-time value: $ini"
echo "$ini" | grep -qx 'INTERVAL=1' || tr_fail "message.ini lacks the server's panel interval: $ini"

echo "server-with-dll: tiphost.exe got 4 tips from tipserver (ids:$ids), 2 pictures byte for byte, last-time and interval written back"
