#!/usr/bin/env bash
# The real DLL with a live tipserver, soak.exe as the host: a plain run, then the disk full, with no
# room at all and with room for the pictures but not for a new tip file. Each start stops in its bound
# (soak --check); the data files stay or are replaced whole, no partial picture or temporary file is left.
#   tests/e2e/faults.sh [path/to/tipserver] [windows bin folder]
set -euo pipefail
. "$(dirname "$0")/e2e_begin.sh" faults
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"
host="$work/host" tips="$work/host/tips"
trap 'umount "$tips" 2>/dev/null || true; tr_e2e_end' EXIT

cp server/sample/welcome.gif server/sample/banner.jpg "$work/"
# Tips 6001-6003 make the data files; "more" adds 6004 and 6005 with pictures.
serve() {
  local id picture tip list=""
  for tip in 6001:welcome.gif 6002:banner.jpg 6003: ${1:+6004:banner.jpg 6005:welcome.gif}; do
    id="${tip%%:*}" picture="${tip#*:}"
    list="$list${list:+, }{\"id\": $id, \"show_seconds\": 60, \"begin\": 1704067200, \"end\": 2145916800,
      ${picture:+\"picture\": \"$picture\",} \"title\": \"Fault $id\", \"text\": \"A tip for the fault runs.\",
      \"buttons\": [{\"caption\": \"Get\", \"action\": \"DOWNLOAD\", \"url\": \"http://faults.test/get/$id\"}]}"
  done
  echo "{\"panel_interval_minutes\": 1, \"tips\": [$list]}" >"$work/catalogue.json"
  tr_server_stop
  tr_server_start "$work/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
}
host_run() {  # NAME SOAK-ARGS...: one start of soak.exe as the host
  (cd "$host" && WINEDEBUG=-all timeout 120 wine ./soak.exe --port "$TR_TIPS_PORT" --cycles 1 --check "${@:2}") \
    >"$work/$1.log" 2>&1 || tr_fail "$1: $(cat "$work/$1.log")"
}
word() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
# A data file whole: version 11, COUNT records of SIZE bytes after the 20-byte header.
whole() {  # FILE SIZE [COUNT]
  local count="${3:-$(word "$1" 4)}"
  [ "$(word "$1" 0)" = 11 ] && [ "$(word "$1" 4)" = "$count" ] && [ "$(word "$1" 8)" = "$2" ] &&
    [ "$(stat -c %s "$1")" -eq $((20 + count * $2)) ]
}
outcome() {
  local case="$1" file size out="" pictures=""
  for file in message.dat:5407 messdisplay.dat:1036; do
    size="${file#*:}" file="${file%:*}"
    if cmp -s "$tips/$file" "$work/$file.before"; then out="$out$file kept, "
    elif whole "$tips/$file" "$size"; then out="$out$file replaced whole, "
    else tr_fail "$case: tips/$file is gone or broken"; fi
  done
  ! ls "$tips" | grep -q '\.tmp$' || tr_fail "$case: a temporary file was left: $(ls "$tips")"
  for file in 6004:banner.jpg 6005:welcome.gif; do
    [ -f "$tips/${file%:*}.gif" ] || continue
    cmp -s "$tips/${file%:*}.gif" "$work/${file#*:}" || tr_fail "$case: a partial picture ${file%:*}.gif was left"
    pictures="$pictures ${file%:*}.gif"
  done
  echo "faults: $case: ${out}pictures:${pictures:- none}; msg_exit $(grep -o 'msg_exit median [0-9.]* ms' "$work/$2.log" | cut -d' ' -f3) ms"
}

tr_host_folder "$host" "$winbin" soak.exe
tr_wine_join
tr_standins_ready "$winbin" "$work"

# The plain run makes the data files the fault runs start from.
serve
host_run baseline --shows 3
whole "$tips/message.dat" 5407 3 && whole "$tips/messdisplay.dat" 1036 3 || tr_fail "baseline: data files not whole"
for file in message.dat messdisplay.dat; do cp "$tips/$file" "$work/$file.before"; done
cp "$tips"/*.gif "$work/"

# The disk full: no room at all, then room for the pictures but not for a new tip file.
serve more
for room in 0 $(($(stat -c %s "$work/banner.jpg") + $(stat -c %s "$work/welcome.gif") + 8192)); do
  mount -t tmpfs -o size=256k tmpfs "$tips" 2>/dev/null || { echo "faults: disk full: SKIPPED (no mount here)"; break; }
  for file in message.dat messdisplay.dat; do cp "$work/$file.before" "$tips/$file"; done
  cp "$work"/600[123].gif "$tips/"
  dd if=/dev/zero of="$tips/filler" bs=4k 2>/dev/null || true
  free="$(df -B1 --output=avail "$tips" | tail -n 1 | tr -d ' ')"
  truncate -s "-$((room > free ? room - free : 0))" "$tips/filler"
  host_run "full$room" --keep-files --shows 2
  outcome "disk full (room for $room bytes)" "full$room"
  umount "$tips"
done
