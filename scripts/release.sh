#!/usr/bin/env bash
# Makes the release and its SHA-256 sums in dist/:
#   tiprelay-<version>-win32.zip             what a host developer receives:
#                                            the library for 32-bit (bin/x86)
#                                            and 64-bit hosts (bin/x64), with
#                                            a CMake package
#   tipserver-<version>-linux-x86_64.tar.gz  what an operator receives
#   tipserver_<version>-1_<arch>.deb         the server as a Debian package
#   tiprelay-<version>-symbols.tar.gz        the debug information that the
#                                            shipped binaries are stripped of
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

scripts/setup.sh >/dev/null
jobs="$(nproc)"
for preset in windows windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target tiprelay tiphost tiprelay_sdk
done
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target tipserver

dist="$root/dist"
stage="$(mktemp -d /tmp/tiprelay-release.XXXXXX)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist"
symbols="$stage/tiprelay-$version-symbols"
mkdir -p "$symbols"

# Strips a copy of a binary; its debug information goes to the symbols
# folder (its ARCH subfolder, if given) as NAME.debug, which the stripped
# file names (with a checksum) so that a debugger finds it beside the binary
# or in its .debug/ folder.
ship_stripped() {
  local objcopy="$1" binary="$2" into="$3" debug="$symbols${4:+/$4}" name
  name="$(basename "$binary")"
  mkdir -p "$debug"
  "$objcopy" --only-keep-debug "$binary" "$debug/$name.debug"
  "$objcopy" --strip-all -R .comment --add-gnu-debuglink="$debug/$name.debug" "$binary" "$into/$name"
  echo "release: $name $(stat -c %s "$into/$name") bytes stripped, $(stat -c %s "$binary") with debug information"
}

# One header for both architectures; each has its DLL and tiphost.exe in
# bin/<arch>/ and its import libraries in lib/<arch>/.
win="$stage/tiprelay-$version-win32"
mkdir -p "$win/include" "$win/lib/cmake/tiprelay"
for arch in x86 x64; do
  build=build/windows objcopy=i686-w64-mingw32-objcopy
  [ "$arch" = x86 ] || build=build/windows-x64 objcopy=x86_64-w64-mingw32-objcopy
  mkdir -p "$win/bin/$arch" "$win/lib/$arch"
  ship_stripped "$objcopy" "$build/bin/tiprelay.dll" "$win/bin/$arch" "$arch"
  ship_stripped "$objcopy" "$build/bin/tiphost.exe" "$win/bin/$arch" "$arch"
  cp "$build/sdk/libtiprelay.dll.a" "$build/sdk/tiprelay.lib" "$win/lib/$arch/"
done
cp include/tiprelay.h include/tiprelay_agent.h "$win/include/"
# Samples as source, the toolchain files they build with, the licence.
mkdir -p "$win/samples" "$win/cmake"
cp host/samples/sample_host.c host/samples/sample_agent.cpp host/samples/sample_agent.def \
  host/samples/CMakeLists.txt "$win/samples/"
cp cmake/mingw-i686.cmake cmake/mingw-x86_64.cmake "$win/cmake/"
cp packaging/LICENSE.txt "$win/"
cp build/windows/sdk/cmake/tiprelayConfig.cmake build/windows/sdk/cmake/tiprelayConfigVersion.cmake \
  "$win/lib/cmake/tiprelay/"
cp src/api/tiprelay.def packaging/message.ini docs/host-guide.md "$win/"
rm -f "$dist/tiprelay-$version-win32.zip"
(cd "$stage" && zip -q -r -X "$dist/tiprelay-$version-win32.zip" "$(basename "$win")")

srv="$stage/tipserver-$version-linux-x86_64"
mkdir -p "$srv/bin" "$srv/sample"
ship_stripped objcopy build/native/bin/tipserver "$srv/bin"
cp server/sample/catalogue.json "$srv/sample/"
find server/sample -maxdepth 1 -type f \( -name '*.gif' -o -name '*.jpg' -o -name '*.png' \) \
  -exec cp {} "$srv/sample/" \;
cp packaging/tipserver.service docs/operator.md "$srv/"
cp packaging/tipserver-README.md "$srv/README.md"
tar -C "$stage" --owner=0 --group=0 -czf "$dist/tipserver-$version-linux-x86_64.tar.gz" "$(basename "$srv")"

rm -f "$dist"/tipserver_*.deb
deb="$(scripts/debian-package.sh "$version" "$srv/bin/tipserver" "$dist")"
tar -C "$stage" --owner=0 --group=0 -czf "$dist/tiprelay-$version-symbols.tar.gz" "$(basename "$symbols")"

files=("tiprelay-$version-win32.zip" "tipserver-$version-linux-x86_64.tar.gz" "$(basename "$deb")"
  "tiprelay-$version-symbols.tar.gz")
(cd "$dist" && sha256sum "${files[@]}" >"SHA256SUMS-$version")
echo "release: dist/ ${files[*]} SHA256SUMS-$version"
