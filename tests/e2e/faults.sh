#!/usr/bin/env bash
# Faults around the real DLL that only the machine can stage, with a live
# tipserver: the tips\ folder made read-only, the disk full while the
# pictures and the tip file are written, and tipserver killed while the
# library waits for its answer. soak.exe is the host; in every case it
# checks that msg_exit returns within its bound and leaves no thread of
# the library, and this script that the data files from before are intact
# or replaced by whole ones, and that no partial picture or temporary file
# is left.
#   tests/e2e/faults.sh [path/to/tipserver] [windows bin folder]
# Making a folder read-only for root and a small full disk need chattr or
# mount; a case that cannot be staged says SKIPPED.
set -euo pipefail
cd "$(dirname "$0")/../.."
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
winbin="$(realpath "${2:-build/windows/bin}")"
. scripts/tip-session.sh
. scripts/wine-env.sh
tr_e2e_begin faults
work="$TR_WORK"
host="$work/host"
tips="$host/tips"
mounted=0
undo_faults() {
  chattr -i "$tips" 2>/dev/null || true
  [ $mounted -eq 1 ] && umount "$tips" 2>/dev/null
  [ -n "${TR_SERVER_PID:-}" ] && kill -CONT "$TR_SERVER_PID" 2>/dev/null
  tr_e2e_end
}
trap undo_faults EXIT

cp server/sample/welcome.gif server/sample/banner.jpg "$work/"
tip() {  # id [picture]
  local picture=""
  [ -n "${2:-}" ] && picture="\"picture\": \"$2\","
  printf '{"id": %s, "show_seconds": 60, "begin": 1704067200, "end": 2145916800, %s
     "title": "Fault %s", "text": "A tip for the fault runs.", "link": "http://faults.test/%s",
     "buttons": [{"caption": "Get", "action": "DOWNLOAD", "url": "http://faults.test/get/%s"}]}' \
    "$1" "$picture" "$1" "$1" "$1"
}
# The first catalogue makes the data files; the second adds tips the files
# do not know, so that their pictures are fetched into the faulty folder.
catalogue() {
  local extra=""
  [ "$1" = more ] && extra=", $(tip 6004 banner.jpg), $(tip 6005 welcome.gif)"
  printf '{"panel_interval_minutes": 1, "tips": [%s, %s, %s%s]}\n' \
    "$(tip 6001 welcome.gif)" "$(tip 6002 banner.jpg)" "$(tip 6003)" "$extra" >"$work/catalogue.json"
}
serve() {
  tr_server_stop
  catalogue "$1"
  tr_server_start "$work/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
}

tr_host_folder "$host" "$winbin" soak.exe
tr_wine_join
tr_standins_ready "$winbin" "$work"

# soak.exe as the host for one start: ARGS are added to its own.
host_run() {
  local name="$1"
  shift
  (cd "$host" && WINEDEBUG=-all timeout 120 wine ./soak.exe --port "$TR_TIPS_PORT" --cycles 1 --check "$@") \
    >"$work/$name.log" 2>&1 || tr_fail "$name: $(cat "$work/$name.log")"
}

# The data files of a real run: three tips shown, so three history entries.
serve few
host_run baseline --shows 3
cp "$tips/message.dat" "$work/message.dat.before"
cp "$tips/messdisplay.dat" "$work/messdisplay.dat.before"
cp "$tips"/*.gif "$work/"

# Both data files as before, or whole: header, then exactly as many records
# as it says; and nothing half-written beside them.
whole() {  # file record-size
  local size count
  size="$(stat -c %s "$1")"
  count="$(od -An -tu4 -j 4 -N4 "$1" | tr -d ' ')"
  [ "$(od -An -tu4 -N4 "$1" | tr -d ' ')" = 11 ] && [ "$(od -An -tu4 -j 8 -N4 "$1" | tr -d ' ')" = "$2" ] &&
    [ "$size" -eq $((20 + count * $2)) ]
}
check_files() {
  local case="$1" file
  for file in message.dat messdisplay.dat; do
    [ -f "$tips/$file" ] || tr_fail "$case: tips/$file is gone"
    cmp -s "$tips/$file" "$work/$file.before" && continue
    local size=5407
    [ $file = messdisplay.dat ] && size=1036
    whole "$tips/$file" $size || tr_fail "$case: tips/$file was replaced by a broken file"
  done
  ls "$tips" | grep -q '\.tmp$' && tr_fail "$case: a temporary file was left: $(ls "$tips")"
  for file in 6004 6005; do
    [ ! -f "$tips/$file.gif" ] || cmp -s "$tips/$file.gif" "$work/$([ $file = 6004 ] && echo banner.jpg || echo welcome.gif)" ||
      tr_fail "$case: a partial picture $file.gif was left"
  done
  return 0
}
exit_line() { grep -o 'msg_exit median [0-9.]* ms' "$work/$1.log" | sed 's/msg_exit median //'; }
# What became of each file: "message.dat kept, messdisplay.dat replaced
# whole, pictures 6004.gif 6005.gif".
outcome() {
  local file out="" pictures=""
  for file in message.dat messdisplay.dat; do
    if cmp -s "$tips/$file" "$work/$file.before"; then out="$out$file kept, "; else out="$out$file replaced whole, "; fi
  done
  for file in 6004 6005; do [ -f "$tips/$file.gif" ] && pictures="$pictures $file.gif"; done
  echo "${out}pictures:${pictures:- none}"
}

# 1. tips\ read-only: nothing can be created there; the new tips still
# show, without their pictures, and both files stay as they were. Root
# writes wherever the mode bits say no: an immutable folder, or else a
# read-only mount of it, stops it too.
readonly_how=""
make_readonly() {
  if chattr +i "$tips" 2>/dev/null; then
    readonly_how="chattr +i"
  elif mount --bind "$tips" "$tips" 2>/dev/null; then
    mounted=1
    mount -o remount,bind,ro "$tips" 2>/dev/null && readonly_how="a read-only bind mount"
  fi
  [ -n "$readonly_how" ] && ! touch "$tips/probe" 2>/dev/null
}
undo_readonly() {
  chattr -i "$tips" 2>/dev/null || true
  if [ $mounted -eq 1 ]; then umount "$tips"; mounted=0; fi
  rm -f "$tips/probe"
}
serve more
if make_readonly; then
  host_run readonly --keep-files --shows 2
  undo_readonly
  check_files "read-only tips folder"
  cmp -s "$tips/message.dat" "$work/message.dat.before" || tr_fail "read-only: message.dat changed"
  echo "faults: read-only tips folder ($readonly_how): 2 new tips shown; $(outcome); msg_exit $(exit_line readonly)"
else
  undo_readonly
  echo "faults: read-only tips folder: SKIPPED (neither chattr +i nor a read-only mount works here)"
fi

# 2. The disk full: tips\ on a small file system holding the files from
# before and room for little more, once with no room at all and once with
# room for the pictures but not for a new tip file.
for room in 0 $(( $(stat -c %s "$work/banner.jpg") + $(stat -c %s "$work/welcome.gif") + 8192 )); do
  case="disk full (room for $room bytes)"
  serve more
  if ! mount -t tmpfs -o size=256k tmpfs "$tips" 2>/dev/null; then
    echo "faults: $case: SKIPPED (cannot mount a small file system here)"
    break
  fi
  mounted=1
  cp "$work/message.dat.before" "$tips/message.dat"
  cp "$work/messdisplay.dat.before" "$tips/messdisplay.dat"
  cp "$work"/600[123].gif "$tips/"
  # Fill, then give back the room wanted.
  dd if=/dev/zero of="$tips/filler" bs=4k 2>/dev/null || true
  free="$(df -B1 --output=avail "$tips" | tail -n 1 | tr -d ' ')"
  truncate -s "-$(( room > free ? room - free : 0 ))" "$tips/filler"
  host_run "full$room" --keep-files --shows 2
  rm -f "$tips/filler"
  check_files "$case"
  result="$(outcome)"
  umount "$tips"
  mounted=0
  # The run's own pictures went into the small file system; the folder
  # under it still holds the files of the baseline.
  echo "faults: $case: 2 new tips shown; $result; msg_exit $(exit_line "full$room")"
done

# 3. tipserver killed while the library waits for its answer: stopped, the
# kernel still takes the connection and the query; killed, it resets them.
serve more
cp "$work/message.dat.before" "$tips/message.dat"
cp "$work/messdisplay.dat.before" "$tips/messdisplay.dat"
kill -STOP "$TR_SERVER_PID"
(cd "$host" && WINEDEBUG=-all timeout 120 wine ./soak.exe --port "$TR_TIPS_PORT" --cycles 1 --check \
  --keep-files --shows 0 --stay 4000) >"$work/killed.log" 2>&1 &
runner=$!
sleep 2.5
kill -KILL "$TR_SERVER_PID"
wait "$TR_SERVER_PID" 2>/dev/null || true
TR_SERVER_PID=""
wait "$runner" || tr_fail "server killed: $(cat "$work/killed.log")"
check_files "server killed"
cmp -s "$tips/message.dat" "$work/message.dat.before" || tr_fail "server killed: message.dat changed"
grep -q 'query peer=' "$work/server.log" && tr_fail "server killed: it answered before it was killed"
echo "faults: tipserver killed while the library waited: $(outcome); msg_exit $(exit_line killed)"
