#!/usr/bin/env bash
# The soak under Wine: tipserver on loopback with five tips that have
# pictures, texts, links and buttons; soak.exe beside the real tiprelay.dll
# starts and stops the library CYCLES times, shows each tip every cycle and
# clicks it with real input (the test browser and the test download agent
# take the clicks), and prints what the process holds at the start and
# every EVERY cycles. The long run is 200 cycles of 5 shows (1000 shows);
# the test command runs a short one with --check, which fails when a count
# grew or a show or click failed.
#   bench/soak.sh [--cycles 200] [--shows 5] [--every 50] [--check]
#                 [--tipserver PATH] [--winbin DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
cycles=200 shows=5 every=50 check=""
TR_TIPSERVER="build/native/bin/tipserver"
winbin="build/windows/bin"
while [ $# -gt 0 ]; do
  case "$1" in
    --cycles) cycles="$2"; shift 2 ;;
    --shows) shows="$2"; shift 2 ;;
    --every) every="$2"; shift 2 ;;
    --check) check="--check"; shift ;;
    --tipserver) TR_TIPSERVER="$2"; shift 2 ;;
    --winbin) winbin="$2"; shift 2 ;;
    *) echo "usage: bench/soak.sh [--cycles N] [--shows N] [--every N] [--check] [--tipserver PATH] [--winbin DIR]" >&2
       exit 2 ;;
  esac
done
TR_TIPSERVER="$(realpath "$TR_TIPSERVER")"
winbin="$(realpath "$winbin")"
. scripts/tip-session.sh
. scripts/wine-env.sh
tr_e2e_begin soak
work="$TR_WORK"
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && type restore_managed >/dev/null 2>&1 && restore_managed
  tr_e2e_end
}
trap cleanup EXIT

cp server/sample/welcome.gif server/sample/banner.jpg "$work/"
tip() {  # id picture first-action
  local other=OPENURL
  [ "$3" = OPENURL ] && other=DOWNLOAD
  printf '{"id": %s, "show_seconds": 60, "begin": 1704067200, "end": 2145916800, "picture": "%s",
     "title": "Soak %s", "text": "Tip %s of the soak, with a picture, a link and two buttons.",
     "link": "http://soak.test/link/%s",
     "buttons": [{"caption": "One", "action": "%s", "url": "http://soak.test/one/%s"},
                 {"caption": "Two", "action": "%s", "url": "http://soak.test/two/%s"}]}' \
    "$1" "$2" "$1" "$1" "$1" "$3" "$1" "$other" "$1"
}
cat >"$work/catalogue.json" <<EOF
{"panel_interval_minutes": 1, "tips": [
  $(tip 5001 welcome.gif DOWNLOAD), $(tip 5002 banner.jpg OPENURL), $(tip 5003 welcome.gif DOWNLOAD),
  $(tip 5004 banner.jpg DOWNLOAD), $(tip 5005 welcome.gif OPENURL)]}
EOF

tr_server_start "$work/catalogue.json" "$work/server.log" || exit 1
host="$work/host"
tr_host_folder "$host" "$winbin" soak.exe
tr_wine_join
tr_standins_ready "$winbin" "$work"

# Without a window manager, Wine waits 2 s for one at every hide of a
# window it would hand to one; windows of its own suffice here.
x11key='HKCU\Software\Wine\X11 Driver'
managed_was="$(wine reg query "$x11key" /v Managed 2>/dev/null | sed -n 's/.*REG_SZ\s*//p' | tr -d '\r' || true)"
wine reg add "$x11key" /v Managed /d N /f >/dev/null 2>&1
restore_managed() {
  if [ -n "$managed_was" ]; then
    wine reg add "$x11key" /v Managed /d "$managed_was" /f >/dev/null 2>&1
  else
    wine reg delete "$x11key" /v Managed /f >/dev/null 2>&1
  fi
}

echo "soak: $cycles cycles of $shows shows on $(nproc) cores of $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), $(wine --version)"
status=0
(cd "$host" && WINEDEBUG=-all wine ./soak.exe --port "$TR_TIPS_PORT" --cycles "$cycles" --shows "$shows" \
  --every "$every" $check) || status=$?
# Let the last browsers started by clicks finish writing.
sleep 2
count() { [ -f "$1" ] && grep -c "$2" "$1" || echo 0; }
echo "soak: tipserver answered $(count "$work/server.log" ' query peer=') queries and" \
  "$(count "$work/server.log" ' picture peer=') picture requests;" \
  "the test browser opened $(count "$work/browser.log" '') addresses;" \
  "the test agent took $(count "$work/agent.log" '^commit') downloads"
# The pictures the last cycle showed are the server's, byte for byte.
for pair in 5001:welcome.gif 5002:banner.jpg 5003:welcome.gif 5004:banner.jpg 5005:welcome.gif; do
  if ! cmp -s "$host/tips/${pair%%:*}.gif" "$work/${pair#*:}"; then
    echo "soak: tips/${pair%%:*}.gif is not the server's ${pair#*:}"
    [ -n "$check" ] && status=1
  fi
done
exit "$status"
