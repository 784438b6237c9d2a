#!/usr/bin/env bash
# Source coverage that the kept corpus of each fuzz target reaches: every
# input of fuzz/corpus/<target>/ is run once through a build with clang's
# coverage mapping, and the line and branch coverage of the files that the
# target is about is printed.
#   fuzz/coverage.sh [BUILD FOLDER]   (default build/fuzz-coverage)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/fuzz-coverage}"
flags="-fprofile-instr-generate -fcoverage-mapping"
cmake --preset native-asan -B "$build" -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_response fuzz_tip_file fuzz_display_file fuzz_query >/dev/null

declare -A files=(
  [fuzz_response]="src/protocol/resp_new_mess.cpp src/protocol/net_command.cpp src/store/show_data_list.cpp"
  [fuzz_tip_file]="src/store/tip_file.cpp src/store/data_file_io.cpp src/store/show_data_list.cpp"
  [fuzz_display_file]="src/store/display_file.cpp src/store/data_file_io.cpp src/store/picture_path.cpp"
  [fuzz_query]="server/query_frame.cpp src/protocol/query_body.cpp server/answer.cpp"
)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%-18s %-34s %7s %9s\n' target file lines branches
for target in fuzz_response fuzz_tip_file fuzz_display_file fuzz_query; do
  LLVM_PROFILE_FILE="$work/$target.profraw" "$build/bin/$target" -runs=0 "fuzz/corpus/$target" >/dev/null 2>&1
  llvm-profdata merge -o "$work/$target.profdata" "$work/$target.profraw"
  llvm-cov report "$build/bin/$target" -instr-profile="$work/$target.profdata" >"$work/$target.txt"
  for file in ${files[$target]}; do
    # Columns: regions (3), functions (3), lines: total, missed, cover; branches likewise.
    awk -v t="$target" -v f="$file" '$1 == f { printf "%-18s %-34s %7s %9s\n", t, f, $10, $13 }' "$work/$target.txt"
  done
done
