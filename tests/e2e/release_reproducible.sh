#!/usr/bin/env bash
# Two signed releases of the same sources are byte-identical: the checkout's,
# and one built from scratch (no compiler cache) in a copy of its files in a
# folder with a longer path, later, under another umask, time zone and locale.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(pwd)"
version="$(sed -n 's/^project(tiprelay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
signer="$root/build/release-signer"
tests/e2e/throwaway_signer.sh "$signer"
sign=(--sign-cert "$signer/cert.pem" --sign-key "$signer/key.pem")
epoch="$(git log -1 --format=%ct)"
scripts/release.sh "${sign[@]}" >/dev/null

copy="$(mktemp -d /tmp/tiprelay-reproduced-in-a-folder-with-a-longer-path.XXXXXX)"
trap 'rm -rf "$copy"' EXIT
# The working tree's files as they are, committed or not, with new times.
git ls-files -z --cached --others --exclude-standard | xargs -0 -I{} find {} -maxdepth 0 -type f -print0 |
  tar --null -T - -cf - | tar -C "$copy" -m -xf -
(cd "$copy" && umask 077 && TZ=Pacific/Kiritimati LANG=de_DE.UTF-8 CCACHE_DISABLE=1 SOURCE_DATE_EPOCH="$epoch" \
  scripts/release.sh "${sign[@]}") >"$copy.log" 2>&1 ||
  { echo "release in $copy failed: $(tail -5 "$copy.log")" >&2; exit 1; }

differ=()
for f in "SHA256SUMS-$version" $(cut -d' ' -f3 "dist/SHA256SUMS-$version"); do
  cmp -s "dist/$f" "$copy/dist/$f" || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
  trap - EXIT
  echo "release_reproducible: these differ between dist/ and $copy/dist/ (kept): ${differ[*]}" >&2
  exit 1
fi
rm -f "$copy.log"
echo "release_reproducible: $(wc -l <"dist/SHA256SUMS-$version") files and their sums byte-identical from two builds"
