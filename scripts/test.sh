#!/usr/bin/env bash
# Runs every test: native tests under ASan+UBSan and under TSan, the fuzz
# targets for a bounded time, and the Windows tests under Wine with a
# virtual display. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

scripts/setup.sh
jobs="$(nproc)"

step() { printf '\n=== %s\n' "$*"; }

step "native build (ASan+UBSan)"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j "$jobs"
step "native tests (ASan+UBSan)"
ctest --preset native-asan -j "$jobs"

step "native build (TSan)"
cmake --preset native-tsan >/dev/null
cmake --build --preset native-tsan -j "$jobs"
step "native tests (TSan)"
ctest --preset native-tsan -R '^native_tests$'

if [ -x scripts/fuzz.sh ]; then
  step "fuzz targets (bounded)"
  scripts/fuzz.sh "${TIPRELAY_FUZZ_SECONDS:-30}"
fi

step "native build (release: server, benchmarks)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"

step "two tipservers behind nginx's stream proxy"
tests/e2e/scale_out.sh build/native/bin/tipserver

step "windows build: x86 and x64"
for preset in windows windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

step "windows tests under Wine: x86 in a 32-bit prefix; beside it x64 in a 64-bit prefix on a display of its own"
. scripts/wine-env.sh
tr_wine_begin
trap tr_wine_end EXIT
# Begun after the x86 display is up, so that it finds that one taken.
x64_log="build/windows-x64/windows-tests.log"
(unset DISPLAY WINEPREFIX && tr_wine_begin win64 && trap tr_wine_end EXIT && ctest --preset windows-x64) >"$x64_log" 2>&1 &
x64_tests=$!
x86_rc=0
ctest --preset windows || x86_rc=$?
x64_rc=0
wait "$x64_tests" || x64_rc=$?
printf '\n--- x64:\n' && cat "$x64_log"
[ "$x86_rc" -eq 0 ] && [ "$x64_rc" -eq 0 ] || { echo "windows tests failed (x86 $x86_rc, x64 $x64_rc)"; exit 1; }

step "the 32-bit and the 64-bit library in one host folder: neither shows again what the other showed"
tests/e2e/cross_arch.sh build/native/bin/tipserver build/windows/bin build/windows-x64/bin

step "a 144-DPI screen: a DPI-aware host's panel at 390 x 240, clicked; an unaware host's at 260 x 160"
tests/e2e/high_dpi.sh build/native/bin/tipserver build/windows/bin

step "operators' preview: every tip photographed in the library's panel, cut texts marked"
tests/e2e/preview.sh

step "release archives: signed and verified, unpacked and run, a host built against the CMake package, the SBOM checked"
tests/e2e/release_unpacked.sh

step "the signed release again from scratch in another folder, later: byte for byte the same"
tests/e2e/release_reproducible.sh

step "the server's Debian package: lintian, installed, queried, purged"
tests/e2e/debian_package.sh

step "tipserver and the real DLL: the files of a plain run, then the disk full"
tests/e2e/faults.sh build/native/bin/tipserver build/windows/bin

step "short soak: 12 starts and stops of the real DLL, 24 tips shown and clicked; nothing may grow"
bench/soak.sh --cycles 12 --shows 2 --every 4 --check --tipserver build/native/bin/tipserver --winbin build/windows/bin

step "all tests passed"
