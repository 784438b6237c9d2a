#!/usr/bin/env bash
# Installs the Debian package from scripts/release.sh with apt, serves the
# installed catalogue on loopback, purges it and finds nothing left. Needs root.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/tip-session.sh
work="$(mktemp -d /tmp/tipserver-deb-test.XXXXXX)"
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=300 "$@" >>"$work/apt.log" 2>&1; }
cleanup() {
  tr_server_stop
  if dpkg -s tipserver >/dev/null 2>&1; then apt_get purge tipserver || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "debian package: FAIL: $*" >&2; exit 1; }

debs=(dist/tipserver_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one package in dist/: ${debs[*]}"
! dpkg -s tipserver >/dev/null 2>&1 || fail "tipserver is installed already"
lintian --fail-on error "${debs[0]}" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
apt_get install "./${debs[0]}" || fail "apt-get install: $(tail -5 "$work/apt.log")"
dpkg -L tipserver >"$work/files"

tipserver check /etc/tipserver/catalogue.json >/dev/null || fail "the installed catalogue does not check"
TR_TIPSERVER=/usr/bin/tipserver
tr_server_start /etc/tipserver/catalogue.json "$work/server.log" || fail "the installed tipserver did not start"
tipserver query "127.0.0.1:$TR_TIPS_PORT" >"$work/query" || fail "query: $(cat "$work/query")"
picture="$(sed -n 's/^  picture: //p' "$work/query" | head -1)"
[ -n "$picture" ] && curl -sf "$picture" | cmp -s - "/etc/tipserver/$(basename "$picture")" ||
  fail "the installed server does not serve the picture '$picture'"
tr_server_stop

apt_get purge tipserver || fail "apt-get purge: $(tail -5 "$work/apt.log")"
# Directories that other packages share stay; nothing of the package may.
while read -r path; do
  [ ! -e "$path" ] || { [ -d "$path" ] && [ -n "$(ls -A "$path")" ]; } || fail "purge left $path"
done <"$work/files"
[ ! -e /etc/tipserver ] || fail "purge left /etc/tipserver"
[ -z "$(find /etc/systemd /var/lib/systemd -name 'tipserver*' 2>/dev/null)" ] || fail "purge left systemd state"
echo "debian package: installed, served $(grep -c '^tip ' "$work/query") tips, purged without a trace ($(wc -l <"$work/files") paths)"
