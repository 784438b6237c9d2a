#!/usr/bin/env bash
# A Visual Studio style link against the SDK's tiprelay.lib: clang compiles
# a consumer of tiprelay.h for the MSVC target, lld-link links it (32-bit
# with /SAFESEH, as Visual Studio does by default), and the program must
# import the six plain names from tiprelay.dll. The library's members are
# named after the DLL, never after a path of the build machine.
#   msvc_link.sh <tiprelay.lib> <include dir> <i686|x86_64> <scratch dir>
set -euo pipefail
lib="$1" include="$2" arch="$3" work="$4"
here="$(cd "$(dirname "$0")" && pwd)"
fail() { echo "msvc_link: $*" >&2; exit 1; }

safeseh=""
[ "$arch" = i686 ] && safeseh="/safeseh"
rm -rf "$work" && mkdir -p "$work"
clang --target="$arch-pc-windows-msvc" -c -I"$include" "$here/msvc_consumer.c" -o "$work/consumer.obj"
lld-link $safeseh /entry:start /subsystem:console /nodefaultlib /out:"$work/consumer.exe" "$work/consumer.obj" "$lib" \
  >"$work/link.log" 2>&1 || fail "lld-link $safeseh failed: $(cat "$work/link.log")"

imports="$(llvm-objdump -p "$work/consumer.exe" | sed -n '/DLL Name: tiprelay.dll/,/^$/p' | awk 'NF >= 2 && $1 ~ /^[0-9]+$/ {print $2}' | sort | tr '\n' ' ')"
want="SetMessageID msg_exit msg_init set_clinettype set_username show_onetips "
[ "$imports" = "$want" ] || fail "the program imports '$imports' from tiprelay.dll, want '$want'"
members="$(llvm-ar t "$lib" | sort -u | tr '\n' ' ')"
[ "$members" = "tiprelay.dll " ] || fail "$lib has members named '$members', want only tiprelay.dll"
echo "msvc_link: $arch consumer linked ${safeseh:-without /safeseh}, imports $imports"
