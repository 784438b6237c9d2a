#!/usr/bin/env bash
# The chain from the unpacked release archives alone, a C host built against
# the zip's CMake package, and debug information found in the symbols archive.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(pwd)"
version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
scripts/release.sh >/dev/null
. scripts/tip-session.sh
. scripts/wine-env.sh
tr_e2e_begin release
work="$TR_WORK"

(cd dist && sha256sum -c "SHA256SUMS-$version" >/dev/null) || tr_fail "checksums do not match"
unzip -q "dist/tiprelay-$version-win32.zip" -d "$work"
tar -C "$work" -xzf "dist/tipserver-$version-linux-x86_64.tar.gz"
tar -C "$work" -xzf "dist/tiprelay-$version-symbols.tar.gz"
win="$work/tiprelay-$version-win32"
srv="$work/tipserver-$version-linux-x86_64"
for f in "$win"/{tiprelay.dll,tiphost.exe,tiprelay.h,libtiprelay.dll.a,tiprelay.lib,tiprelay.def,message.ini,host-guide.md} \
  "$srv"/{bin/tipserver,sample/catalogue.json,tipserver.service,operator.md}; do
  [ -f "$f" ] || tr_fail "the archives lack ${f#"$work"/}"
done

has_lines() { gdb -nx -batch -ex "info line $2" "$1" 2>&1 | grep -q '^Line [0-9]* of'; }
for entry in "$win/tiprelay.dll msg_init" "$win/tiphost.exe main" "$srv/bin/tipserver main"; do
  read -r binary symbol <<<"$entry"
  ! has_lines "$binary" "$symbol" || tr_fail "$(basename "$binary") carries its debug information"
  cp "$work/tiprelay-$version-symbols/$(basename "$binary").debug" "$(dirname "$binary")/"
  has_lines "$binary" "$symbol" || tr_fail "$(basename "$binary") does not find its debug information"
done

[ "$("$srv/bin/tipserver" --version)" = "tipserver $version" ] || tr_fail "tipserver --version does not say $version"
"$srv/bin/tipserver" check "$srv/sample/catalogue.json" >/dev/null || tr_fail "sample catalogue does not check"
TR_TIPSERVER="$srv/bin/tipserver"
tr_server_start "$srv/sample/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
tr_write_ini "$win"
cmake -S tests/sdk/package -B "$work/package-host" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -Dtiprelay_DIR="$win/lib/cmake/tiprelay" >"$work/package.log" 2>&1 &&
  cmake --build "$work/package-host" >>"$work/package.log" 2>&1 || tr_fail "no host builds against the CMake package: $(cat "$work/package.log")"
tr_write_ini "$work/package-host"
tr_wine_join
(cd "$win" && wine ./tiphost.exe --user release --pid 11 --seconds 6) >"$work/host.log" 2>&1 ||
  tr_fail "tiphost.exe failed: $(cat "$work/host.log")"
(cd "$work/package-host" && wine ./c_host.exe) >>"$work/package.log" 2>&1 ||
  tr_fail "the host built against the CMake package failed: $(cat "$work/package.log")"

pictures="$(find "$win/tips" -name '*.gif' | wc -l)"
[ -s "$win/tips/message.dat" ] && [ "$pictures" -ge 1 ] || tr_fail "no message.dat or no picture beside the unpacked tiphost.exe"
echo "release: unpacked archives ran the chain ($pictures pictures, $(stat -c %s "$win/tips/message.dat") bytes of message.dat)"
