#!/usr/bin/env bash
# The chain from the unpacked release archives alone, signed with a throwaway
# certificate, for 32-bit and 64-bit hosts: each tiphost.exe runs, a C host
# is built against the zip's CMake package for each (the package picks by
# pointer size, and refuses a build that is not for Windows), debug
# information is found in the symbols archive, and the SBOM describes it all.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(pwd)"
version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
signer=build/release-signer
tests/e2e/throwaway_signer.sh "$signer"
scripts/release.sh --sign-cert "$signer/cert.pem" --sign-key "$signer/key.pem" >/dev/null
. tests/e2e/e2e_begin.sh release

(cd dist && sha256sum -c "SHA256SUMS-$version" >/dev/null) || tr_fail "checksums do not match"
unzip -q "dist/tiprelay-$version-win32.zip" -d "$work"
tar -C "$work" -xzf "dist/tipserver-$version-linux-x86_64.tar.gz"
tar -C "$work" -xzf "dist/tiprelay-$version-symbols.tar.gz"
win="$work/tiprelay-$version-win32"
srv="$work/tipserver-$version-linux-x86_64"
for f in "$win"/{bin/{x86,x64}/{tiprelay.dll,tiphost.exe},lib/{x86,x64}/{libtiprelay.dll.a,tiprelay.lib}} \
  "$win"/{include/{tiprelay.h,tiprelay_agent.h},tiprelay.def,message.ini,host-guide.md,LICENSE.txt} \
  "$win"/{samples/{sample_host.c,sample_agent.cpp,sample_agent.def,CMakeLists.txt},cmake/mingw-{i686,x86_64}.cmake} \
  "$srv"/{bin/tipserver,sample/catalogue.json,tipserver.service,operator.md,README.md}; do
  [ -f "$f" ] || tr_fail "the archives lack ${f#"$work"/}"
done
for entry in "x86 PE32 Intel 80386" "x64 PE32+ x86-64"; do
  read -r arch format machine <<<"$entry"
  [[ "$(file -b "$win/bin/$arch/tiprelay.dll")" == "$format executable (DLL)"*" $machine"* ]] ||
    tr_fail "bin/$arch/tiprelay.dll is $(file -b "$win/bin/$arch/tiprelay.dll")"
done

while IFS= read -r -d '' binary; do
  osslsigncode verify -CAfile "$signer/ca.pem" -in "$binary" >"$work/verify.log" 2>&1 ||
    tr_fail "${binary#"$work"/} does not verify: $(tail -3 "$work/verify.log")"
done < <(find "$win" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0)
python3 tests/e2e/check_sbom.py "dist/tiprelay-$version.spdx.json" "dist/SHA256SUMS-$version" "$win" "$srv" \
  >"$work/sbom.log" || tr_fail "the SBOM: $(cat "$work/sbom.log")"

has_lines() { gdb -nx -batch -ex "info line $2" "$1" 2>&1 | grep -q '^Line [0-9]* of'; }
for entry in "$win/bin/x86/tiprelay.dll msg_init x86" "$win/bin/x64/tiprelay.dll msg_init x64" \
  "$win/bin/x86/tiphost.exe main x86" "$srv/bin/tipserver main"; do
  read -r binary symbol arch <<<"$entry"
  ! has_lines "$binary" "$symbol" || tr_fail "$(basename "$binary") carries its debug information"
  cp "$work/tiprelay-$version-symbols/${arch:+$arch/}$(basename "$binary").debug" "$(dirname "$binary")/"
  has_lines "$binary" "$symbol" || tr_fail "$(basename "$binary") does not find its debug information"
done

[ "$("$srv/bin/tipserver" --version)" = "tipserver $version" ] || tr_fail "tipserver --version does not say $version"
"$srv/bin/tipserver" check "$srv/sample/catalogue.json" >/dev/null || tr_fail "sample catalogue does not check"
TR_TIPSERVER="$srv/bin/tipserver"
tr_server_start "$srv/sample/catalogue.json" "$work/server.log" || tr_fail "tipserver did not start"
package_host() { # ARCH TOOLCHAIN: configures and builds tests/sdk/package into $work/package-ARCH
  cmake -S tests/sdk/package -B "$work/package-$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$2" \
    -Dtiprelay_DIR="$win/lib/cmake/tiprelay" >"$work/package-$1.log" 2>&1 &&
    cmake --build "$work/package-$1" >>"$work/package-$1.log" 2>&1
}
package_host x86 "$root/cmake/mingw-i686.cmake" || tr_fail "no x86 host builds against the CMake package: $(cat "$work/package-x86.log")"
package_host x64 "$root/cmake/mingw-x86_64.cmake" || tr_fail "no x64 host builds against the CMake package: $(cat "$work/package-x64.log")"
for arch in x86 x64; do
  [[ "$(x86_64-w64-mingw32-objdump -p "$work/package-$arch/c_host.exe")" == *"DLL Name: tiprelay.dll"* ]] &&
    cmp -s "$work/package-$arch/tiprelay.dll" "$win/bin/$arch/tiprelay.dll" ||
    tr_fail "the $arch host built against the CMake package has not its DLL beside it"
done
# The samples build from the zip alone, with its own toolchain file.
cmake -S "$win/samples" -B "$work/samples" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$win/cmake/mingw-i686.cmake" \
  -Dtiprelay_DIR="$win/lib/cmake/tiprelay" >"$work/samples.log" 2>&1 && cmake --build "$work/samples" >>"$work/samples.log" 2>&1 ||
  tr_fail "the samples do not build from the zip: $(cat "$work/samples.log")"
# A 0.x package serves only its own minor version.
mkdir -p "$work/next-minor" && printf 'cmake_minimum_required(VERSION 3.21)\nproject(n C)\nfind_package(tiprelay %s CONFIG REQUIRED)\n' \
  "$(echo "$version" | awk -F. '{print $1 "." $2 + 1}')" >"$work/next-minor/CMakeLists.txt"
! cmake -S "$work/next-minor" -B "$work/next-minor/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -Dtiprelay_DIR="$win/lib/cmake/tiprelay" >/dev/null 2>&1 || tr_fail "the CMake package took a request for the next minor version"
! package_host linux "" || tr_fail "the CMake package took a build that is not for Windows"
grep -q "tiprelay is a Windows library" "$work/package-linux.log" || tr_fail "the CMake package refused a Linux build without saying why: $(cat "$work/package-linux.log")"

# Each architecture's tiphost.exe fetches tips beside itself, the x64 one in a
# 64-bit prefix; the package's C hosts answer as documented.
tr_wine_join
run_in_prefix() { # ARCH DIR PROGRAM [ARG]...
  local arch="$1" dir="$2"
  shift 2
  if [ "$arch" = x86 ]; then
    (cd "$dir" && wine "$@")
  else
    (unset WINEPREFIX && tr_wine_begin win64 && cd "$dir" && wine "$@"; rc=$?; tr_wine_end; exit $rc)
  fi
}
for arch in x86 x64; do
  tr_write_ini "$win/bin/$arch"
  run_in_prefix "$arch" "$win/bin/$arch" ./tiphost.exe --user release --pid 11 --seconds 6 >"$work/host-$arch.log" 2>&1 ||
    tr_fail "$arch tiphost.exe failed: $(cat "$work/host-$arch.log")"
  tr_write_ini "$work/package-$arch"
  run_in_prefix "$arch" "$work/package-$arch" ./c_host.exe >>"$work/package-$arch.log" 2>&1 ||
    tr_fail "the $arch host built against the CMake package failed: $(cat "$work/package-$arch.log")"
  pictures="$(find "$win/bin/$arch/tips" -name '*.gif' | wc -l)"
  [ -s "$win/bin/$arch/tips/message.dat" ] && [ "$pictures" -ge 1 ] ||
    tr_fail "no message.dat or no picture beside the unpacked $arch tiphost.exe"
  echo "release: unpacked $arch archive ran the chain ($pictures pictures, $(stat -c %s "$win/bin/$arch/tips/message.dat") bytes of message.dat)"
done
