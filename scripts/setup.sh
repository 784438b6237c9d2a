#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, from Debian's
# packages. Idempotent: run it as often as you like (as root).
set -euo pipefail

packages=(
  cmake ninja-build ccache clang libclang-rt-14-dev binutils python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  llvm lld  # llvm-dlltool and lld-link: the MSVC import libraries and their link test
  wine wine32:i386 wine64 xvfb x11-utils
  googletest
  libboost-dev nlohmann-json3-dev
  nginx libnginx-mod-stream
  netpbm libjpeg-turbo-progs
  fonts-wqy-microhei  # CJK and Latin glyphs for tips shown in code page 936 under Wine
  zip unzip
  gdb dpkg-dev lintian curl  # the release: symbols, the Debian package and its test
  osslsigncode openssl  # the release: Authenticode signing and its test's throwaway certificate
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q "${missing[@]}"
echo "setup: done"
