#!/usr/bin/env bash
# A long fuzzing campaign: each named target (default: all) runs SECONDS
# from its seed corpus, then the grown corpus is minimised (-merge=1) back
# into fuzz/corpus/<target>/, hand-made seeds kept, so that every later run
# starts from what this one learnt. A finding is kept in build/fuzz-findings/.
#   fuzz/campaign.sh SECONDS [TARGET]...   (TIPRELAY_FUZZ_BUILD: the native-asan build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: fuzz/campaign.sh SECONDS [TARGET]...}"
shift
build="${TIPRELAY_FUZZ_BUILD:-build/native-asan}"
[ $# -gt 0 ] || set -- fuzz_response fuzz_tip_file fuzz_display_file fuzz_query
failed=0
for target in "$@"; do
  exe="$build/bin/$target" corpus="fuzz/corpus/$target" work="$(mktemp -d)"
  [ -x "$exe" ] || { echo "campaign: $exe is missing; build the native-asan preset first" >&2; exit 1; }
  mkdir -p "$work/grown" "$work/merged" "$corpus"
  cp -r "$corpus/." "$work/grown/"
  if ! "$exe" -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/grown" >"$work/log" 2>&1; then
    echo "campaign: FINDING in $target (log and input in build/fuzz-findings/$target/)" >&2
    tail -n 40 "$work/log" >&2
    mkdir -p "build/fuzz-findings/$target"
    cp "$work/log" "$work"/{crash,leak,timeout,oom}-* "build/fuzz-findings/$target/" 2>/dev/null || true
    failed=1
  fi
  # Of the inputs found, the fewest that keep every edge reached (hit counts
  # aside, which a new run regains in seconds).
  find "$corpus" -type f ! -regex '.*/[0-9a-f]\{40\}' -exec cp {} "$work/merged/" \;
  "$exe" -merge=1 -use_counters=0 -max_len=32768 -timeout=10 "$work/merged" "$work/grown" >/dev/null 2>&1
  rm -rf "$corpus" && cp -r "$work/merged" "$corpus"
  printf '%-18s %10s execs  %s  corpus %s files\n' "$target" \
    "$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")" \
    "$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$work/log" | tail -n 1)" "$(find "$corpus" -type f | wc -l)"
  rm -rf "$work"
done
exit "$failed"
