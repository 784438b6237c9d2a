#!/usr/bin/env bash
# Runs each libFuzzer target (core and query reader) for SECONDS (default 30),
# starting from a copy of its seed corpus in fuzz/corpus/<target>/, so the
# repository's corpus stays as it is. Any finding (crash, sanitizer report,
# leak, time-out) fails the run; its input is kept in build/fuzz-findings/.
#   scripts/fuzz.sh [SECONDS]
# TIPRELAY_FUZZ_BUILD names another build folder of the native-asan preset.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
build="${TIPRELAY_FUZZ_BUILD:-build/native-asan}"
targets=(fuzz_response fuzz_tip_file fuzz_display_file fuzz_query)
findings="build/fuzz-findings"
failed=0

for target in "${targets[@]}"; do
  exe="$build/bin/$target"
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe is missing; build the native-asan preset first" >&2
    exit 1
  fi
  work="$(mktemp -d)"
  mkdir -p "$work/corpus"
  cp -r "fuzz/corpus/$target/." "$work/corpus/"
  echo "fuzz: $target for ${seconds}s"
  if "$exe" -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1; then
    grep -E '^#[0-9]+' "$work/log" | tail -n 1 || true
  else
    echo "fuzz: FINDING in $target" >&2
    tail -n 60 "$work/log" >&2
    mkdir -p "$findings"
    for artifact in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
      [ -e "$artifact" ] && cp "$artifact" "$findings/$target-$(basename "$artifact")"
    done
    failed=1
  fi
  rm -rf "$work"
done

exit "$failed"
