#!/usr/bin/env bash
# Unpacks both release archives into a fresh folder and runs the chain from
# the unpacked files alone: the unpacked tipserver serves its sample
# catalogue, the unpacked tiphost.exe runs the unpacked DLL under Wine, and
# the tips and their pictures arrive beside tiphost.exe. A C host builds
# against the zip's CMake package alone and runs, and the stripped binaries
# find their debug information in the symbols archive.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(pwd)"
version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
scripts/release.sh >/dev/null

work="$(mktemp -d /tmp/tiprelay-unpacked.XXXXXX)"
. scripts/tip-session.sh
. scripts/wine-env.sh
cleanup() {
  tr_server_stop
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "release: FAIL: $*" >&2; exit 1; }

(cd dist && sha256sum -c "SHA256SUMS-$version" >/dev/null) || fail "checksums do not match"
unzip -q "dist/tiprelay-$version-win32.zip" -d "$work"
tar -C "$work" -xzf "dist/tipserver-$version-linux-x86_64.tar.gz"
tar -C "$work" -xzf "dist/tiprelay-$version-symbols.tar.gz"
win="$work/tiprelay-$version-win32"
srv="$work/tipserver-$version-linux-x86_64"
for f in tiprelay.dll tiphost.exe tiprelay.h libtiprelay.dll.a tiprelay.lib tiprelay.def message.ini host-guide.md; do
  [ -f "$win/$f" ] || fail "win32 archive lacks $f"
done
for f in bin/tipserver sample/catalogue.json tipserver.service operator.md; do
  [ -f "$srv/$f" ] || fail "server archive lacks $f"
done

has_lines() { gdb -nx -batch -ex "info line $2" "$1" 2>&1 | grep -q '^Line [0-9]* of'; }
for entry in "$win/tiprelay.dll msg_init" "$win/tiphost.exe main" "$srv/bin/tipserver main"; do
  read -r binary symbol <<<"$entry"
  ! has_lines "$binary" "$symbol" || fail "$(basename "$binary") carries its debug information"
  cp "$work/tiprelay-$version-symbols/$(basename "$binary").debug" "$(dirname "$binary")/"
  has_lines "$binary" "$symbol" || fail "$(basename "$binary") does not find its debug information"
done

[ "$("$srv/bin/tipserver" --version)" = "tipserver $version" ] || fail "tipserver --version does not say $version"
"$srv/bin/tipserver" check "$srv/sample/catalogue.json" >/dev/null || fail "sample catalogue does not check"
TR_TIPSERVER="$srv/bin/tipserver"
tr_server_start "$srv/sample/catalogue.json" "$work/server.log" || fail "tipserver did not start"
tr_write_ini "$win"
cmake -S tests/sdk/package -B "$work/package-host" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -Dtiprelay_DIR="$win/lib/cmake/tiprelay" >"$work/package.log" 2>&1 &&
  cmake --build "$work/package-host" >>"$work/package.log" 2>&1 || fail "no host builds against the CMake package: $(cat "$work/package.log")"
tr_write_ini "$work/package-host"
# Inside the test run's Wine prefix and display when the caller has them.
tr_wine_join
host_rc=0 package_rc=0
(cd "$win" && wine ./tiphost.exe --user release --pid 11 --seconds 6) >"$work/host.log" 2>&1 || host_rc=$?
(cd "$work/package-host" && wine ./c_host.exe) >>"$work/package.log" 2>&1 || package_rc=$?
tr_wine_leave
[ "$host_rc" -eq 0 ] || fail "tiphost.exe failed: $(cat "$work/host.log")"
[ "$package_rc" -eq 0 ] || fail "the host built against the CMake package failed: $(cat "$work/package.log")"

[ -s "$win/tips/message.dat" ] || fail "no message.dat beside the unpacked tiphost.exe"
pictures="$(find "$win/tips" -name '*.gif' | wc -l)"
[ "$pictures" -ge 1 ] || fail "no picture was fetched"
grep -q 'query peer=' "$work/server.log" || fail "the server saw no query"
echo "release: unpacked archives ran the chain ($pictures pictures, $(stat -c %s "$win/tips/message.dat") bytes of message.dat)"
