#!/usr/bin/env bash
# Makes the Debian package of the server:
#   scripts/debian-package.sh VERSION TIPSERVER OUTDIR
# writes OUTDIR/tipserver_VERSION-1_<arch>.deb from the (stripped) TIPSERVER:
# the program in /usr/bin with its manual page, the systemd unit, an empty
# live catalogue in /etc/tipserver/ (a configuration file), the sample
# catalogue with its pictures as an example, and the operator's guide.
# Depends comes from the libraries the program links, so it follows the build.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
[ $# -eq 3 ] || { echo "usage: $0 VERSION TIPSERVER OUTDIR" >&2; exit 1; }
upstream="$1" tipserver="$2" outdir="$3"
version="$upstream-1"
arch="$(dpkg --print-architecture)"
maintainer="tiprelay developers <dev@tiprelay.example>"
# The package's dates are the sources' (dpkg-deb reads SOURCE_DATE_EPOCH too).
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}"
date="$(TZ=UTC date -R -d "@$SOURCE_DATE_EPOCH")"

work="$(mktemp -d /tmp/tipserver-deb.XXXXXX)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
doc="$root/usr/share/doc/tipserver"
man="$root/usr/share/man/man1"
install -d "$root/DEBIAN" "$root/usr/bin" "$root/lib/systemd/system" "$root/etc/tipserver" "$doc" "$man"
install -m 0755 "$tipserver" "$root/usr/bin/tipserver"
sed -e 's#^ExecStart=[^ ]*tipserver #ExecStart=/usr/bin/tipserver #' \
  -e '/^Description=/a Documentation=man:tipserver(1)' packaging/tipserver.service \
  >"$root/lib/systemd/system/tipserver.service"
grep -q '^ExecStart=/usr/bin/tipserver ' "$root/lib/systemd/system/tipserver.service" ||
  { echo "debian-package: the unit's ExecStart names no tipserver" >&2; exit 1; }
# The live catalogue starts empty; the sample, with its pictures, is an example.
install -m 0644 packaging/catalogue.json "$root/etc/tipserver/"
install -d "$doc/examples"
find server/sample -maxdepth 1 -type f \( -name '*.json' -o -name '*.gif' -o -name '*.jpg' -o -name '*.png' \) \
  -exec install -m 0644 {} "$doc/examples/" \;
install -m 0644 docs/operator.md packaging/debian/copyright "$doc/"
gzip -9n <packaging/debian/tipserver.1 >"$man/tipserver.1.gz"
sed -e "s/@VERSION@/$version/" -e "s/@UPSTREAM@/$upstream/" -e "s/@MAINTAINER@/$maintainer/" \
  -e "s/@DATE@/$date/" packaging/debian/changelog | gzip -9n >"$doc/changelog.Debian.gz"
chmod -R u=rwX,go=rX "$root"

# dpkg-shlibdeps reads a source package's control file.
mkdir -p "$work/src/debian"
printf 'Source: tipserver\n\nPackage: tipserver\nArchitecture: any\n' >"$work/src/debian/control"
depends="$(cd "$work/src" && dpkg-shlibdeps -O -e "$root/usr/bin/tipserver" 2>"$work/shlibdeps.log")" || true
depends="${depends#shlibs:Depends=}"
[ -n "$depends" ] || { echo "debian-package: no dependencies for $tipserver: $(cat "$work/shlibdeps.log")" >&2; exit 1; }

# KiB per file, rounded up, and one per folder: the same on every file system.
size="$(find "$root" -path "$root/DEBIAN" -prune -o \( -type f -printf '%s\n' \) -o -printf '1024\n' |
  awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@MAINTAINER@/$maintainer/" \
  -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" packaging/debian/control >"$root/DEBIAN/control"
(cd "$root" && find etc -type f | sed 's#^#/#' | sort) >"$root/DEBIAN/conffiles"
(cd "$root" && find usr lib -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
install -m 0755 packaging/debian/postinst packaging/debian/prerm packaging/debian/postrm "$root/DEBIAN/"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/conffiles" "$root/DEBIAN/md5sums"

mkdir -p "$outdir"
deb="$outdir/tipserver_${version}_$arch.deb"
dpkg-deb --root-owner-group --build "$root" "$deb" >/dev/null
echo "$deb"
