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
#   tiprelay-<version>.spdx.json             the bill of materials (SPDX 2.3)
#   SHA256SUMS-<version>                     the sums of all of the above
#
#   scripts/release.sh [--sign-cert CERT.pem --sign-key KEY.pem [--timestamp-url URL]]
# signs every shipped Windows DLL and EXE with Authenticode (SHA-256) before
# they are zipped; unsigned by default.
#
# The same commit gives the same bytes wherever and whenever it is built:
# every time stamp is the commit's (SOURCE_DATE_EPOCH), archive members are
# sorted with fixed owners and modes, and the build keeps paths out of the
# binaries. Signing keeps that given the same key and no time stamp server.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
usage() { echo "usage: $0 [--sign-cert CERT.pem --sign-key KEY.pem [--timestamp-url URL]]" >&2; exit 2; }
sign_cert="" sign_key="" timestamp_url=""
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --sign-cert) sign_cert="$(realpath -e "$2")" ;;
    --sign-key) sign_key="$(realpath -e "$2")" ;;
    --timestamp-url) timestamp_url="$2" ;;
    *) usage ;;
  esac
  shift 2
done
if [ -n "$sign_cert$sign_key" ]; then
  [ -f "$sign_cert" ] && [ -f "$sign_key" ] ||
    { echo "release: signing needs both --sign-cert and --sign-key" >&2; exit 2; }
elif [ -n "$timestamp_url" ]; then
  echo "release: --timestamp-url needs a certificate and key to sign with" >&2
  exit 2
fi

version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
# Sorting, dates and file modes must not follow the machine's settings.
export LC_ALL=C TZ=UTC
umask 022
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null)" ||
    { echo "release: not a git checkout; set SOURCE_DATE_EPOCH to the sources' time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

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
rm -f "$dist"/tiprelay-*.zip "$dist"/tipserver-*.tar.gz "$dist"/tipserver_*.deb "$dist"/tiprelay-*-symbols.tar.gz \
  "$dist"/tiprelay-*.spdx.json "$dist"/SHA256SUMS-*
symbols="$stage/tiprelay-$version-symbols"
mkdir -p "$symbols"
# Each shipped binary with the build's binary it was made from, for the SBOM.
shipped="$stage/shipped-binaries"
: >"$shipped"

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
  printf '%s\t%s\n' "$into/$name" "$root/$binary" >>"$shipped"
  echo "release: $name $(stat -c %s "$into/$name") bytes stripped, $(stat -c %s "$binary") with debug information"
}

# Pads every DLL and EXE under a folder as signing would (so that a signed
# file without its signature is the unsigned one), then signs it in place if
# asked. The signing time is the sources' time, so the same key signs the
# same bytes the same way.
finish_windows_binaries() {
  local folder="$1" file
  while IFS= read -r -d '' file; do
    python3 scripts/pe_align.py "$file"
    [ -n "$sign_cert" ] || continue
    osslsigncode sign -certs "$sign_cert" -key "$sign_key" -h sha256 -n tiprelay -time "$SOURCE_DATE_EPOCH" \
      ${timestamp_url:+-ts "$timestamp_url"} -in "$file" -out "$file.signed" >"$stage/sign.log" 2>&1 ||
      { echo "release: signing $file failed: $(cat "$stage/sign.log")" >&2; exit 1; }
    chmod --reference="$file" "$file.signed"
    mv "$file.signed" "$file"
    echo "release: $(basename "$file") signed"
  done < <(find "$folder" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0 | sort -z)
}

# Archives keep neither the machine's owners, modes and times nor its
# directory order.
normalise() { chmod -R u=rwX,go=rX "$1" && find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }
make_zip() {
  local folder="$1" out="$2"
  normalise "$stage/$folder"
  (cd "$stage" && find "$folder" | sort | zip -q -X -@ "$out")
}
make_tar_gz() {
  local folder="$1" out="$2"
  normalise "$stage/$folder"
  tar -C "$stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --format=gnu \
    -cf - "$folder" | gzip -9n >"$out"
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
finish_windows_binaries "$win"
zip_file="tiprelay-$version-win32.zip"
make_zip "$(basename "$win")" "$dist/$zip_file"

srv="$stage/tipserver-$version-linux-x86_64"
mkdir -p "$srv/bin" "$srv/sample"
ship_stripped objcopy build/native/bin/tipserver "$srv/bin"
cp server/sample/catalogue.json "$srv/sample/"
find server/sample -maxdepth 1 -type f \( -name '*.gif' -o -name '*.jpg' -o -name '*.png' \) \
  -exec cp {} "$srv/sample/" \;
cp packaging/tipserver.service docs/operator.md "$srv/"
cp packaging/tipserver-README.md "$srv/README.md"
tar_file="tipserver-$version-linux-x86_64.tar.gz"
make_tar_gz "$(basename "$srv")" "$dist/$tar_file"

deb="$(scripts/debian-package.sh "$version" "$srv/bin/tipserver" "$dist")"
mkdir -p "$stage/deb"
dpkg-deb --extract "$deb" "$stage/deb"
symbols_file="tiprelay-$version-symbols.tar.gz"
make_tar_gz "$(basename "$symbols")" "$dist/$symbols_file"

sbom_file="tiprelay-$version.spdx.json"
python3 scripts/sbom.py --version "$version" --created "$SOURCE_DATE_EPOCH" --binaries "$shipped" \
  --artifact "$dist/$zip_file" "$win" --artifact "$dist/$tar_file" "$srv" --artifact "$deb" "$stage/deb" \
  --artifact "$dist/$symbols_file" "$symbols" >"$dist/$sbom_file"

files=("$zip_file" "$tar_file" "$(basename "$deb")" "$symbols_file" "$sbom_file")
(cd "$dist" && sha256sum "${files[@]}" >"SHA256SUMS-$version")
echo "release: dist/ ${files[*]} SHA256SUMS-$version"
