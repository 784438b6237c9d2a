#!/usr/bin/env bash
# The 32-bit and the 64-bit library share one host folder, as a product that
# moves from one to the other does: in a 64-bit Wine prefix, a start of one
# shows and records a tip, and a start of the other in the same folder does
# not show it again but shows the second tip, which it has only from the
# first one's message.dat (the server sends nothing new). Both orders.
#   tests/e2e/cross_arch.sh [path/to/tipserver] [x86 bin folder] [x64 bin folder]
set -euo pipefail
. "$(dirname "$0")/e2e_begin.sh" cross-arch
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
declare -A winbin=([x86]="$(realpath "${2:-build/windows/bin}")" [x64]="$(realpath "${3:-build/windows-x64/bin}")")

cat >"$work/catalogue.json" <<'JSON'
{"panel_interval_minutes": 1, "tips": [
    {"id": 8001, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "First", "text": "Shown by one library, never again by the other."},
    {"id": 8002, "show_seconds": 30, "begin": 1704067200, "end": 2145916800,
     "title": "Second", "text": "Shown by the other, from the first one's tip file."}]}
JSON
tr_server_start "$work/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
cp "${winbin[x86]}/tipuser.exe" "$work/"
# A prefix of its own, 64-bit, on the caller's display if there is one.
unset WINEPREFIX
WINEARCH=win64 tr_wine_join

# One start of ARCH's tiphost.exe in DIR, stopped by tipuser once a panel is up.
start_host() {  # ARCH DIR
  local arch="$1" dir="$2" log="$work/$1-$(basename "$2")"
  cp "${winbin[$arch]}/tiprelay.dll" "${winbin[$arch]}/tiphost.exe" "$dir/"
  (cd "$dir" && WINEDEBUG=-all,+debugstr exec timeout 60 wine ./tiphost.exe --user cross --pid STD --seconds 45) \
    >"$log.host" 2>"$log.wine" &
  local host_pid=$!
  (cd "$work" && WINEDEBUG=-all timeout 60 wine ./tipuser.exe --wait 30 --quit-host) >"$log.user" 2>&1 ||
    tr_fail "$arch in $(basename "$dir"): no panel: $(cat "$log.user"); library: $(tr_library_lines "$log.wine" | tail -5)"
  wait "$host_pid" || tr_fail "$arch in $(basename "$dir"): tiphost.exe: $(cat "$log.host")"
  grep -q 'msg_exit returned 1' "$log.host" || tr_fail "$arch in $(basename "$dir"): no clean stop: $(cat "$log.host")"
}
# The ids in a data file's records of SIZE bytes, sorted.
ids() {  # FILE SIZE
  local count i
  count="$(od -An -tu4 -j 4 -N4 "$1" | tr -d ' ')"
  for ((i = 0; i < count; i++)); do od -An -tu4 -j $((20 + i * $2)) -N4 "$1" | tr -d ' '; done | sort | tr '\n' ' '
}

# The display history says what each start showed: one tip after the first,
# the other one added by the second, whose panel came up.
queries_logged() { [ "$(grep -c 'query peer=' "$work/server.log")" -ge "$1" ]; }
queries=0
for order in "x64 x86" "x86 x64"; do
  read -r first second <<<"$order"
  dir="$work/$first-then-$second"
  mkdir -p "$dir"
  tr_write_ini "$dir" NEXTPANEL.INTERVAL=1
  start_host "$first" "$dir"
  shown="$(ids "$dir/tips/messdisplay.dat" 1036)"
  [ "$shown" = "8001 " ] || [ "$shown" = "8002 " ] || tr_fail "$first: the history holds '$shown', want one tip"
  other="$([ "$shown" = "8001 " ] && echo 8002 || echo 8001)"
  [[ " $(ids "$dir/tips/message.dat" 5407)" == *" $other "* ]] || tr_fail "$first: message.dat lacks $other"
  start_host "$second" "$dir"
  [ "$(ids "$dir/tips/messdisplay.dat" 1036)" = "8001 8002 " ] ||
    tr_fail "$first showed $shown; after $second the history holds $(ids "$dir/tips/messdisplay.dat" 1036)"
  # The server writes its log in batches: wait for the second start's line, however long a loaded machine takes.
  tr_wait_until 30 queries_logged "$((queries + 2))" ||
    tr_fail "the server logged no query of $second within 30 s: $(tail -n 2 "$work/server.log")"
  grep 'query peer=' "$work/server.log" | tail -n 1 | grep -q ' tips=0 ' ||
    tr_fail "$second was sent tips again: $(tail -n 2 "$work/server.log")"
  queries=$((queries + 2))
  echo "cross-arch: $first showed ${shown% }, then $second in the same folder showed the other tip from $first's tip file, not it again"
done
