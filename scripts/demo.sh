#!/usr/bin/env bash
# The demo: builds the library and tiphost.exe, runs tiphost.exe under Wine
# (with a virtual display when there is none) for a few seconds, and shows
# that the library started and stopped cleanly and where its files went.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target tiprelay tiphost

bin="$(pwd)/build/windows/bin"
rm -rf "$bin/tips" "$bin/message.ini"
. scripts/wine-env.sh
tr_wine_begin
trap tr_wine_end EXIT
export WINEDEBUG="-all,+debugstr"
log="$(mktemp)"
(cd "$bin" && wine ./tiphost.exe --user demo --pid 7 --seconds 3) 2>"$log"
echo "--- library log (debug output)"
sed -n 's/.*OutputDebugStringA "\(.*\)"$/\1/p' "$log"
echo "--- files beside tiphost.exe"
ls -la "$bin/tips"
rm -f "$log"
