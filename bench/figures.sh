#!/usr/bin/env bash
# Runs every benchmark and prints the figures table of the README: the
# decoder against memcpy and the store (native, optimised), msg_init and
# msg_exit and the panel paint under Wine, tipserver against nginx's stream
# "return" in the same run, and the soak's start and end counts. Each row
# says how many runs it took; the machine is the one this runs on. The
# benchmarks' own output is kept in build/figures/.
#   bench/figures.sh [--soak-cycles 200] [--soak-shows 5] [--core-runs 5]
# TIPRELAY_FIGURES_NATIVE / TIPRELAY_FIGURES_WINDOWS name other build folders
# of the native and windows presets (they are configured and built here).
set -euo pipefail
cd "$(dirname "$0")/.."
soak_cycles=200 soak_shows=5 core_runs=5 wine_runs=20 footprint_runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --soak-cycles) soak_cycles="$2"; shift 2 ;;
    --soak-shows) soak_shows="$2"; shift 2 ;;
    --core-runs) core_runs="$2"; shift 2 ;;
    --wine-runs) wine_runs="$2"; shift 2 ;;
    --footprint-runs) footprint_runs="$2"; shift 2 ;;
    *) echo "usage: bench/figures.sh [--soak-cycles N] [--soak-shows N] [--core-runs N] [--wine-runs N]" \
            "[--footprint-runs N]" >&2; exit 2 ;;
  esac
done
native="${TIPRELAY_FIGURES_NATIVE:-build/native}"
windows="${TIPRELAY_FIGURES_WINDOWS:-build/windows}"
out="build/figures"
mkdir -p "$out"
jobs="$(nproc)"

say() { echo "figures: $*" >&2; }
say "building $native and $windows"
cmake --preset native -B "$native" >/dev/null
cmake --build "$native" -j "$jobs" --target bench_core bench_server tipserver >"$out/build.log"
cmake --preset windows -B "$windows" >/dev/null
cmake --build "$windows" -j "$jobs" >>"$out/build.log"

cpu="$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1 | sed 's/ [0-9]*-Core Processor//')"
machine="$cpu, $(nproc) cores"
machine_long="$machine, $(free -g | awk '/^Mem:/ {print $2}') GB, Linux $(uname -r | cut -d- -f1)"
wine_version="$(wine --version 2>/dev/null || echo 'no wine')"

. scripts/wine-env.sh
tr_wine_begin
spinner=""
spin_start() {
  chrt --idle 0 taskset -c "$(($(nproc) - 1))" sh -c 'while :; do :; done' &
  spinner=$!
}
spin_stop() {
  [ -n "$spinner" ] && kill "$spinner" 2>/dev/null && wait "$spinner" 2>/dev/null || true
  spinner=""
}
trap 'spin_stop; tr_wine_end' EXIT
# The machine's state as a row reports it: the load average over the last
# minute, and the busy loop when it ran.
state() { echo "load $(cut -d' ' -f1 /proc/loadavg)${1:+, $1}"; }

# Median of the numbers on stdin.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "?"; else print v[int((NR + 1) / 2)] }'; }
# The number after `label` on the first line matching `pattern` of `file`.
field() { grep -m1 -- "$2" "$1" | sed -n "s/.*$3 *\([0-9.]*\).*/\1/p"; }

say "core: decoder and store, $core_runs runs"
core_state="$(state)"
: >"$out/core.log"
for i in $(seq 1 "$core_runs"); do "$native/bin/bench_core" >>"$out/core.log"; done
decode_mbs="$(sed -n 's/^ *\([0-9.]*\) MB\/s .*/\1/p' "$out/core.log" | median)"
memcpy_mbs="$(sed -n 's/.*memcpy of the same bytes: \([0-9.]*\) MB\/s.*/\1/p' "$out/core.log" | median)"
records_s="$(sed -n 's/^ *\([0-9.]*\) records\/s/\1/p' "$out/core.log" | median)"
store_ops() {  # tips column
  sed -n "s/^store with *$1 tips: AddOneShowData *\([0-9]*\) ns\/tip, GetOneShowData *\([0-9]*\) ns\/tip/\\$2/p" \
    "$out/core.log" | median | awk '{ if ($1 > 0) printf "%.1f M", 1000 / $1; else print "?" }'
}

busy="other core busy-looped"
spin_start
say "Wine: msg_init and msg_exit, $wine_runs rounds"
exit_state="$(state "$busy")"
(cd "$windows/bin" && wine ./exit_bench.exe --runs "$wine_runs") >"$out/exit.log" 2>&1
say "Wine: panel paint"
paint_state="$(state "$busy")"
(cd "$windows/bin" && wine ./paint_bench.exe) >"$out/paint.log" 2>&1
# The DLL as the release ships it, stripped: a host would otherwise also
# read its debug information in.
shipped="$out/shipped/tiprelay.dll"
mkdir -p "$out/shipped"
i686-w64-mingw32-objcopy --strip-all -R .comment "$windows/bin/tiprelay.dll" "$shipped"
shipped_win="$(winepath -w "$PWD/$shipped")"
say "Wine: footprint in a host, $footprint_runs runs"
footprint_state="$(state "$busy")"
: >"$out/footprint.log"
for i in $(seq 1 "$footprint_runs"); do
  (cd "$windows/bin" && wine ./footprint_bench.exe --dll "$shipped_win") >>"$out/footprint.log" 2>&1 ||
    say "footprint run $i failed"
done
spin_stop
# Wine's console ends its lines with CR LF.
sed -i 's/\r$//' "$out/exit.log" "$out/paint.log" "$out/footprint.log"
# "median | p10–p90 a–b ms, max c ms | runs" of the line matching `pattern`.
spread_row() {  # file pattern
  grep -m1 -- "$2" "$1" | sed -n 's/.*median *\([0-9.]*\) ms *p10 *\([0-9.]*\) *p90 *\([0-9.]*\) *min *[0-9.]* *max *\([0-9.]*\) ms *(\([0-9]*\) runs).*/\1 ms | p10–p90 \2–\3 ms, max \4 ms | \5/p'
}
init_ratio="$(sed -n 's/.*without, per round: median \([0-9.]*\) *p10 \([0-9.]*\) *p90 \([0-9.]*\) *(\([0-9]*\) rounds).*/\1 | p10–p90 \2–\3 | \4 rounds/p' "$out/exit.log")"
footprint_kb() {  # pattern of the figure before "KB"
  sed -n "s/.*$1 *+*\(-*[0-9]*\) KB.*/\1/p" "$out/footprint.log" | median
}
footprint_row="+$(footprint_kb 'to the tip on screen') KB (LoadLibrary +$(footprint_kb 'LoadLibrary') KB, msg_init +$(footprint_kb 'msg_init') KB, the tip +$(footprint_kb 'picture on screen') KB)"
handles_left="$(sed -n 's/.*start, tip and stop: \([0-9-]*\);.*/\1/p' "$out/footprint.log" | median) per further start, tip and stop; $(sed -n 's/.*FreeLibrary cycles: \([0-9-]*\).*/\1/p' "$out/footprint.log" | median) per 10 LoadLibrary and FreeLibrary cycles"
dll_bytes="$(stat -c %s "$shipped")"
dll_imports="$(i686-w64-mingw32-objdump -p "$shipped" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort | paste -sd ' ')"

say "tipserver against nginx"
server_state="$(state)"
"$native/bin/bench_server" --tipserver "$native/bin/tipserver" >"$out/server.log" 2>&1
server_rounds="$(sed -n 's/.*, \([0-9]*\) rounds of \([0-9.]*\) s each.*/\1 rounds of \2 s, 64 clients/p' "$out/server.log")"

say "soak: $soak_cycles cycles of $soak_shows shows (takes a while)"
soak_state="$(state)"
bench/soak.sh --cycles "$soak_cycles" --shows "$soak_shows" --every 50 --tipserver "$native/bin/tipserver" \
  --winbin "$windows/bin" >"$out/soak.log" 2>&1 || say "the soak reported a failure: see $out/soak.log"
sed -i 's/\r$//' "$out/soak.log"
# "handles 48 -> 48, GDI objects 64 -> 64, ..." from the start and end lines.
soak_counts() {
  local start end
  start="$(grep -m1 '^soak: start ' "$out/soak.log" || true)"
  end="$(grep -m1 '^soak: end ' "$out/soak.log" || true)"
  [ -n "$start" ] && [ -n "$end" ] || { echo "?"; return; }
  awk -v a="$start" -v b="$end" 'BEGIN {
    n = split("handles gdi windows threads library private", keys, " ")
    split("handles|GDI objects|windows|threads|of them the library'"'"'s|private KB", names, "|")
    for (i = 1; i <= n; ++i) {
      match(a, keys[i] " *[0-9]+"); x = substr(a, RSTART, RLENGTH); gsub(/[^0-9]/, "", x)
      match(b, keys[i] " *[0-9]+"); y = substr(b, RSTART, RLENGTH); gsub(/[^0-9]/, "", y)
      printf "%s%s %s → %s", (i > 1 ? ", " : ""), names[i], x, y
    }
  }'
}
soak_times="$(sed -n 's/^soak: msg_init median \([0-9.]*\) ms worst \([0-9.]*\) ms; msg_exit median \([0-9.]*\) ms worst \([0-9.]*\) ms/\1 ms \/ \3 ms | worst \2 ms \/ \4 ms/p' "$out/soak.log")"
soak_summary="$(sed -n 's/^soak: \([0-9]* cycles, [0-9]* shows, [0-9]* clicks\).*, \([0-9]*\) failures/\1, \2 failures/p' "$out/soak.log")"

wine_machine="$machine, Wine $(echo "$wine_version" | sed 's/^wine-\([0-9.]*\).*/\1/')"
cat <<EOF
Machine: $machine_long; Windows figures under $wine_version with Xvfb (i686 build, MinGW-w64).
Command: bench/figures.sh (raw output in $out/).

| Figure | Median (or result) | Spread | Runs | Machine (state) |
|---|---|---|---|---|
| Decode a full 262144-byte answer (100 tips) into a store | $decode_mbs MB/s ($records_s tips/s), $(awk -v d="$decode_mbs" -v m="$memcpy_mbs" 'BEGIN { if (m > 0) printf "%.3f", d / m; else print "?" }') of memcpy | | $core_runs runs of 2000 answers | $machine ($core_state) |
| memcpy of the same 262144 bytes | $memcpy_mbs MB/s | | $core_runs runs of 20000 copies | $machine ($core_state) |
| Store AddOneShowData / GetOneShowData, 100 tips | $(store_ops 100 1) / $(store_ops 100 2) ops/s | | $core_runs runs | $machine ($core_state) |
| Store AddOneShowData / GetOneShowData, 100000 tips | $(store_ops 100000 1) / $(store_ops 100000 2) ops/s | | $core_runs runs | $machine ($core_state) |
| msg_init, no data files | $(spread_row "$out/exit.log" 'msg_init, no data files') | $wine_machine ($exit_state) |
| msg_init, 99 tips and 99 history entries to load | $(spread_row "$out/exit.log" 'msg_init, 99 tips') | $wine_machine ($exit_state) |
| msg_init with the data files / without, per round | $init_ratio | $wine_machine ($exit_state) |
| msg_exit, tips server hanging (never answers) | $(spread_row "$out/exit.log" 'never answers') | $wine_machine ($exit_state) |
| msg_exit, during a slow picture download | $(spread_row "$out/exit.log" 'slow picture') | $wine_machine ($exit_state) |
| msg_init / msg_exit against tipserver, tips shown and clicked (soak) | $soak_times | $soak_summary | $wine_machine ($soak_state) |
| Paint a tip with picture, text and buttons (off screen) | $(spread_row "$out/paint.log" 'picture + text + buttons, off screen') | $wine_machine ($paint_state) |
| Paint a tip with picture, text and buttons (WM_PAINT) | $(spread_row "$out/paint.log" 'picture + text + buttons, WM_PAINT') | $wine_machine ($paint_state) |
| Paint a tip without picture (off screen) | $(spread_row "$out/paint.log" 'paint, text + buttons') | $wine_machine ($paint_state) |
| Anonymous memory a warmed-up host (window, COM, sockets) gives the library, LoadLibrary to a tip with a picture on screen | $footprint_row | | $footprint_runs processes | $wine_machine ($footprint_state) |
| Kernel handles left behind once a process has loaded the library | $handles_left | | $footprint_runs processes | $wine_machine ($footprint_state) |
| tiprelay.dll stripped; the DLLs it imports | $dll_bytes bytes; $dll_imports | | | i686-w64-mingw32 |
| tipserver, answered queries/s (20 tips, 5969 bytes) | $(field "$out/server.log" '^tipserver:' 'tipserver:')/s | | $server_rounds | $machine ($server_state) |
| nginx stream \`return\` of the same bytes, same load | $(field "$out/server.log" '^nginx stream' 'return:')/s | | $server_rounds | $machine ($server_state) |
| tipserver / nginx | $(sed -n 's/.*median of rounds \([0-9.]*\).*/\1/p' "$out/server.log") (median of rounds) | | $server_rounds | $machine ($server_state) |
| Soak: what the process holds after warm-up → at the end | $(soak_counts) | | $soak_summary | $wine_machine ($soak_state) |
EOF
