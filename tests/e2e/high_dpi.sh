#!/usr/bin/env bash
# A 144-DPI screen (a Wine prefix of its own): a DPI-aware tiphost.exe shows
# the panel at 390 x 240 with text half as tall again, and a real click
# where the text is now drawn opens the tip's link; a host that is not
# DPI-aware gets the 260 x 160 panel, which Windows scales for it (Wine
# does not: a DPI-unaware tipuser.exe sees it as Windows would place it).
#   tests/e2e/high_dpi.sh [path/to/tipserver] [windows bin folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/tip-session.sh
. scripts/wine-env.sh
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"
tr_e2e_begin high_dpi
work="$TR_WORK"

# One line of black text each, no picture and no buttons: the only black
# ink on the panel is the text.
cat >"$work/catalogue.json" <<'JSON'
{"panel_interval_minutes": 1, "tips": [
    {"id": 4001, "show_first": true, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "text": "Sharp on any screen", "link": "http://e2e.test/dpi/4001"},
    {"id": 4002, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "text": "Sharp on any screen", "link": "http://e2e.test/dpi/4002"}]}
JSON
tr_server_start "$work/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
host="$work/host"
tr_host_folder "$host" "$winbin"
cp "$winbin/tipuser.exe" "$work/"
tr_write_ini "$host" NEXTPANEL.INTERVAL=1
tr_wine_join_dpi 144
tr_standins_ready "$winbin" "$work"

run=0
start_host() {
  run=$((run + 1))
  rm -f "$work/browser.log"
  (cd "$host" && WINEDEBUG=-all exec timeout 60 wine ./tiphost.exe --user e2e --seconds 45 "$@") \
    >"$work/host.$run" 2>&1 &
  host_pid=$!
}
run_user() {
  (cd "$work" && WINEDEBUG=-all timeout 60 wine ./tipuser.exe --wait 30 --screenshot "shot.$run.png" "$@" \
    --quit-host) >"$work/user.$run" 2>&1 || tr_fail "run $run: tipuser: $(cat "$work/user.$run")"
  wait "$host_pid" || tr_fail "run $run: tiphost.exe: $(cat "$work/host.$run")"
}
said() { grep -q "$1" "$work/user.$run" || tr_fail "run $run: no '$1': $(cat "$work/user.$run")"; }
# How many rows of the screenshot, from the first to the last, hold black
# ink. tipuser writes 8-bit RGB rows in one IDAT chunk.
ink_rows() {
  python3 - "$1" <<'PY'
import sys, zlib
data = open(sys.argv[1], "rb").read()
width = int.from_bytes(data[16:20], "big")
raw, stride = zlib.decompressobj().decompress(data[data.index(b"IDAT") + 4:]), 1 + 3 * width
rows = [y for y in range(len(raw) // stride)
        if any(max(raw[y * stride + 1 + 3 * x:y * stride + 4 + 3 * x]) < 90 for x in range(width))]
print(rows[-1] - rows[0] + 1 if rows else 0)
PY
}

start_host --dpi aware
run_user --click text
said 'panel: slipzemtraMessPanelClass up at .* size 390x240'
said 'panel: slid away'
[ "$(cat "$work/browser.log" 2>/dev/null)" = "http://e2e.test/dpi/4001" ] ||
  tr_fail "the click on the text opened '$(cat "$work/browser.log" 2>/dev/null)'"
sharp="$(ink_rows "$work/shot.1.png")"

start_host --dpi unaware
run_user --dpi-unaware
said 'panel: slipzemtraMessPanelClass up at .* size 260x160'
plain="$(ink_rows "$work/shot.2.png")"
# 1.5 times as tall, give or take what the font's rounding makes of it.
[ "$plain" -gt 0 ] && [ $((sharp * 10)) -ge $((plain * 13)) ] && [ $((sharp * 10)) -le $((plain * 17)) ] ||
  tr_fail "text $sharp pixels tall at 144 DPI, $plain at 96"
echo "high DPI: 390x240 for a DPI-aware host (text $sharp pixels tall, clicked), 260x160 (text $plain) for one that is not"
