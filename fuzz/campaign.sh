#!/usr/bin/env bash
# A long fuzzing campaign, beyond the bounded run of the test command: each
# named target (default: all) runs for SECONDS from its seed corpus, then
# the grown corpus is minimised (-merge=1) back into fuzz/corpus/<target>/,
# so the next campaign and every CI run start from what this one learnt.
# Prints executions, coverage and corpus size per target; a finding stops
# the target and is kept in build/fuzz-findings/.
#   fuzz/campaign.sh SECONDS [TARGET]...
# TIPRELAY_FUZZ_BUILD names the build folder of the native-asan preset.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:?usage: fuzz/campaign.sh SECONDS [TARGET]...}"
shift
build="${TIPRELAY_FUZZ_BUILD:-build/native-asan}"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_response fuzz_tip_file fuzz_display_file fuzz_query)
findings="build/fuzz-findings"
failed=0

for target in "${targets[@]}"; do
  exe="$build/bin/$target"
  [ -x "$exe" ] || { echo "campaign: $exe is missing; build the native-asan preset first" >&2; exit 1; }
  work="$(mktemp -d)"
  mkdir -p "$work/grown" "$work/merged" "fuzz/corpus/$target"
  cp -r "fuzz/corpus/$target/." "$work/grown/"
  started="$(date +%s)"
  if ! "$exe" -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/" "$work/grown" >"$work/log" 2>&1; then
    echo "campaign: FINDING in $target (log and input in $findings/$target/)" >&2
    tail -n 40 "$work/log" >&2
    mkdir -p "$findings/$target"
    cp "$work/log" "$work"/{crash,leak,timeout,oom}-* "$findings/$target/" 2>/dev/null || true
    failed=1
  fi
  took=$(( $(date +%s) - started ))
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)"
  last="$(grep -E '^#[0-9]+' "$work/log" | tail -n 1)"
  cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")"
  ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")"
  # The hand-made seeds stay; of the rest, the fewest inputs that keep every
  # edge reached (hit counts aside, which a new run regains in seconds).
  for seed in "fuzz/corpus/$target"/*; do
    [[ "${seed##*/}" =~ ^[0-9a-f]{40}$ ]] || cp "$seed" "$work/merged/"
  done
  "$exe" -merge=1 -use_counters=0 -max_len=32768 -timeout=10 "$work/merged" "$work/grown" >"$work/merge.log" 2>&1
  rm -rf "fuzz/corpus/$target"
  mkdir -p "fuzz/corpus/$target"
  cp "$work/merged/." -r "fuzz/corpus/$target/"
  files="$(find "fuzz/corpus/$target" -type f | wc -l)"
  bytes="$(du -sb "fuzz/corpus/$target" | cut -f1)"
  printf '%-18s %6ss  %10s execs  cov %5s  ft %6s  corpus %4s files %8s bytes\n' \
    "$target" "$took" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$files" "$bytes"
  rm -rf "$work"
done

exit "$failed"
