#!/usr/bin/env bash
# Line and branch coverage that each fuzz target's kept corpus reaches in the
# files it is about, from a build with clang's coverage mapping.
#   fuzz/coverage.sh [BUILD FOLDER]   (default build/fuzz-coverage)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/fuzz-coverage}" flags="-fprofile-instr-generate -fcoverage-mapping"
cmake --preset native-asan -B "$build" -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_response fuzz_tip_file fuzz_display_file fuzz_query >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%-18s %-34s %7s %9s\n' target file lines branches
while read -r target files; do
  LLVM_PROFILE_FILE="$work/$target.profraw" "$build/bin/$target" -runs=0 "fuzz/corpus/$target" >/dev/null 2>&1
  llvm-profdata merge -o "$work/$target.profdata" "$work/$target.profraw"
  # Columns: file, regions (3), functions (3), lines (total, missed, cover), branches likewise.
  llvm-cov report "$build/bin/$target" -instr-profile="$work/$target.profdata" |
    awk -v t="$target" -v f=" $files " 'index(f, " " $1 " ") { printf "%-18s %-34s %7s %9s\n", t, $1, $10, $13 }'
done <<'TARGETS'
fuzz_response src/protocol/resp_new_mess.cpp src/protocol/net_command.cpp src/store/show_data_list.cpp
fuzz_tip_file src/store/tip_file.cpp src/store/data_file_io.cpp src/store/show_data_list.cpp
fuzz_display_file src/store/display_file.cpp src/store/data_file_io.cpp src/store/picture_path.cpp
fuzz_query server/query_frame.cpp src/protocol/query_body.cpp server/answer.cpp
TARGETS
