#!/usr/bin/env bash
# Installs the Debian package from scripts/release.sh with apt, finds the live
# catalogue empty and the unit refusing the sample, serves the sample on
# loopback, purges it and finds nothing left. Needs root.
set -euo pipefail
. "$(dirname "$0")/e2e_begin.sh" debian-package
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=300 "$@" >>"$work/apt.log" 2>&1; }
trap '! dpkg -s tipserver >/dev/null 2>&1 || apt_get purge tipserver || true; tr_e2e_end' EXIT

debs=(dist/tipserver_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || tr_fail "not one package in dist/: ${debs[*]}"
! dpkg -s tipserver >/dev/null 2>&1 || tr_fail "tipserver is installed already"
lintian --fail-on error "${debs[0]}" >"$work/lintian.log" 2>&1 || tr_fail "lintian: $(cat "$work/lintian.log")"
apt_get install "./${debs[0]}" || tr_fail "apt-get install: $(tail -5 "$work/apt.log")"
dpkg -L tipserver >"$work/files"

# The live catalogue holds no tips; the unit refuses the sample, which is an example.
tipserver check /etc/tipserver/catalogue.json | grep -q "^catalogue OK: 0 tips" || tr_fail "the live catalogue is not empty"
examples=/usr/share/doc/tipserver/examples
refuse_sample="$(sed -n "s#^ExecStartPre=##; T; s#/etc/tipserver/catalogue.json#$examples/catalogue.json#gp" \
  /lib/systemd/system/tipserver.service)"
! eval "$refuse_sample" 2>/dev/null || tr_fail "the unit would start on the sample"
TR_TIPSERVER=/usr/bin/tipserver
tr_server_start "$examples/catalogue.json" "$work/server.log" || tr_fail "the installed tipserver did not start"
tipserver query "127.0.0.1:$TR_TIPS_PORT" >"$work/query" || tr_fail "query: $(cat "$work/query")"
picture="$(sed -n 's/^  picture: //p' "$work/query" | head -1)"
[ -n "$picture" ] && curl -sf "$picture" | cmp -s - "$examples/$(basename "$picture")" ||
  tr_fail "the installed server does not serve the picture '$picture'"
tr_server_stop

apt_get purge tipserver || tr_fail "apt-get purge: $(tail -5 "$work/apt.log")"
# Directories that other packages share stay; nothing of the package may.
while read -r path; do
  [ ! -e "$path" ] || { [ -d "$path" ] && [ -n "$(ls -A "$path")" ]; } || tr_fail "purge left $path"
done <"$work/files"
[ ! -e /etc/tipserver ] || tr_fail "purge left /etc/tipserver"
[ -z "$(find /etc/systemd /var/lib/systemd -name 'tipserver*' 2>/dev/null)" ] || tr_fail "purge left systemd state"
echo "debian package: installed, served $(grep -c '^tip ' "$work/query") tips, purged without a trace ($(wc -l <"$work/files") paths)"
