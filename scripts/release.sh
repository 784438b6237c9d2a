#!/usr/bin/env bash
# Makes the two release archives and their SHA-256 sums in dist/:
#   tiprelay-<version>-win32.zip          what a host developer receives
#   tipserver-<version>-linux-x86_64.tar.gz  what an operator receives
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

scripts/setup.sh >/dev/null
jobs="$(nproc)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target tiprelay tiphost tiprelay_sdk
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target tipserver

dist="$root/dist"
stage="$(mktemp -d /tmp/tiprelay-release.XXXXXX)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist"

win="$stage/tiprelay-$version-win32"
mkdir -p "$win"
cp build/windows/bin/tiprelay.dll build/windows/bin/tiphost.exe "$win/"
cp include/tiprelay.h src/api/tiprelay.def "$win/"
cp build/windows/sdk/libtiprelay.dll.a build/windows/sdk/tiprelay.lib "$win/"
cp packaging/message.ini docs/host-guide.md "$win/"
rm -f "$dist/tiprelay-$version-win32.zip"
(cd "$stage" && zip -q -r -X "$dist/tiprelay-$version-win32.zip" "$(basename "$win")")

srv="$stage/tipserver-$version-linux-x86_64"
mkdir -p "$srv/bin" "$srv/sample"
cp build/native/bin/tipserver "$srv/bin/"
cp server/sample/catalogue.json "$srv/sample/"
find server/sample -maxdepth 1 -type f \( -name '*.gif' -o -name '*.jpg' -o -name '*.png' \) \
  -exec cp {} "$srv/sample/" \;
cp packaging/tipserver.service docs/operator.md "$srv/"
tar -C "$stage" --owner=0 --group=0 -czf "$dist/tipserver-$version-linux-x86_64.tar.gz" "$(basename "$srv")"

(cd "$dist" && sha256sum "tiprelay-$version-win32.zip" "tipserver-$version-linux-x86_64.tar.gz" \
  > "SHA256SUMS-$version")
echo "release: $(cd "$dist" && ls "tiprelay-$version-win32.zip" "tipserver-$version-linux-x86_64.tar.gz" "SHA256SUMS-$version" | tr '\n' ' ')"
