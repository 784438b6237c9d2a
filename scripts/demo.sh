#!/usr/bin/env bash
# The demo: builds what it needs, starts tipserver with the sample catalogue
# on loopback, runs tiphost.exe with the real library under Wine (with a
# virtual display when there is none) until a tip has slid in, saves a
# screenshot of it, clicks its "Get it" button with real input events, and
# reports what happened. Leaves the screenshot in build/demo/tip.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
scripts/setup.sh
jobs="$(nproc)"
echo "--- building"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target tiprelay tiphost tipuser test_agent test_browser >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target tipserver >/dev/null

winbin="$root/build/windows/bin"
TR_TIPSERVER="$root/build/native/bin/tipserver"
demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
. scripts/wine-env.sh
. scripts/tip-session.sh
cleanup() {
  tr_server_stop
  tr_wine_end
}
trap cleanup EXIT

echo "--- starting tipserver with server/sample/catalogue.json and Wine"
tr_server_start server/sample/catalogue.json "$demo/server.log"
tr_host_folder "$demo/host" "$winbin"
tr_write_ini "$demo/host" NEXTPANEL.INTERVAL=1
tr_wine_begin
# The browser and the host's download agent are the test stand-ins, which
# record what they are asked to do instead of doing it.
tr_standins_install "$winbin"
tr_agent_register "$winbin"
export TIPRELAY_BROWSER_LOG TIPRELAY_AGENT_LOG
TIPRELAY_BROWSER_LOG="$(winepath -w "$demo/browser.log")"
TIPRELAY_AGENT_LOG="$(winepath -w "$demo/agent.log")"

echo "--- tiphost.exe runs; the panel polls every 10 s (the first tip comes at the first poll)"
# The sample is written for clients in code page 936; tip 1001 is its tip
# with a picture, a text and two buttons.
(cd "$demo/host" && LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all,+debugstr exec timeout 120 \
  wine ./tiphost.exe --user demo --pid STD --message-id 1001 --seconds 90) \
  >"$demo/host.out" 2>"$demo/wine.log" &
host_pid=$!
(cd "$demo" && WINEDEBUG=-all timeout 100 wine "$winbin/tipuser.exe" --wait 60 \
  --screenshot "$(winepath -w "$demo/tip.png")" --click button:2 --quit-host) >"$demo/user.out" 2>&1 ||
  true
wait "$host_pid" || true
tr_server_stop

library="$(tr_library_lines "$demo/wine.log")"
count() { printf '%s\n' "$1" | grep -c "$2" || true; }
value() { sed -n "s/^$2: //p" "$1" | sed -n "${3:-1}p"; }
echo "--- what happened"
echo "tips received:    $(count "$library" '^Recv one Data ,Add list$')"
echo "pictures fetched: $(grep -c 'picture peer=.* status=200' "$demo/server.log" || true)"
echo "shown:            $(value "$demo/user.out" panel 1)"
echo "screenshot:       $(value "$demo/user.out" screenshot)"
echo "clicked:          $(value "$demo/user.out" click) ('Get it', a DOWNLOAD button)"
echo "then the panel:   $(value "$demo/user.out" panel 2)"
if [ -s "$demo/agent.log" ]; then
  echo "download agent:   $(grep '^task' "$demo/agent.log" | cut -f2- | tr '\t' ' ')"
fi
if [ -s "$demo/browser.log" ]; then
  echo "browser opened:   $(cat "$demo/browser.log")"
fi
echo "stopped:          $(grep -o 'msg_exit returned .*' "$demo/host.out" || echo 'tiphost.exe did not stop cleanly')"
echo "--- files beside tiphost.exe"
ls -l "$demo/host" "$demo/host/tips"
if [ ! -f "$demo/tip.png" ]; then
  echo "demo: no tip came up; tipuser said: $(cat "$demo/user.out")" >&2
  echo "library log:" >&2
  echo "$library" | tail -20 >&2
  exit 1
fi
echo "--- screenshot: build/demo/tip.png"
