#!/usr/bin/env bash
# The operators' preview: a 260 x 160 PNG per sample tip; a tip that does not
# fit is marked, its neighbour that fits is not, though neither is valid now.
set -euo pipefail
. "$(dirname "$0")/e2e_begin.sh" preview-test

# Without a display it starts an Xvfb and a prefix of its own: it returns, and leaves neither behind.
mkdir "$work/tmp" "$work/killed"
TMPDIR="$work/tmp" timeout 900 env -u DISPLAY -u WINEPREFIX scripts/preview.sh server/sample/catalogue.json \
  --out "$work/sample" >/dev/null || tr_fail "the sample did not preview cleanly, or the preview did not return"
! compgen -G "$work/tmp/tiprelay-*" >/dev/null || tr_fail "the preview left $(ls "$work/tmp") behind"
tips="$(build/native/bin/tipserver check server/sample/catalogue.json | sed -n 's/^catalogue OK: \([0-9]*\) tips.*/\1/p')"
pngs=("$work"/sample/[0-9]*.png)
[ "${#pngs[@]}" = "$tips" ] || tr_fail "${#pngs[@]} PNGs for $tips tips"
for png in "${pngs[@]}"; do  # the header's width and height, 260 and 160
  [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = 00000104000000a0 ] || tr_fail "$png is not 260 x 160"
done

cp server/sample/welcome.gif "$work/"
cat >"$work/overflow.json" <<'JSON'
{"panel_interval_minutes": 1, "tips": [
  {"id": 7, "begin": "2020-01-01", "end": "2021-01-01", "title": "Onewordtitlefartoowideforanypanelatall",
   "picture": "welcome.gif", "text": "Hi!", "buttons": [{"caption": "Download it all now", "action": "DOWNLOAD", "url": "http://example.com/a"}]},
  {"id": 8, "begin": "2037-01-01", "end": "2038-01-01", "title": "Short", "text": "Fits well.",
   "buttons": [{"caption": "Go", "action": "OPENURL", "url": "http://example.com/b"}]}]}
JSON
status=0
scripts/preview.sh "$work/overflow.json" --out "$work/overflow" >/dev/null || status=$?
[ "$status" = 1 ] || tr_fail "a sheet with a cut tip ends with $status, expected 1"
grep -q '<figure class="cut"><img src="7.png".*cut: title, button 1<' "$work/overflow/index.html" || tr_fail "tip 7 is not marked"
grep -q '<figure><img src="8.png"' "$work/overflow/index.html" || tr_fail "tip 8 is marked or missing"

# Killed while Wine runs: it ends at once and cleans up all the same.
TMPDIR="$work/killed" env -u DISPLAY -u WINEPREFIX scripts/preview.sh "$work/overflow.json" --out "$work/gone" \
  >/dev/null 2>&1 &
preview=$!
wine_started() { compgen -G "$work/killed/tiprelay-preview.*/wine.log" >/dev/null; }
ended() { ! kill -0 "$preview" 2>/dev/null; }
tr_wait_until 300 wine_started || tr_fail "the preview to be killed never started Wine"
kill -TERM "$preview"
tr_wait_until 60 ended || tr_fail "a preview killed mid-run did not end"
! compgen -G "$work/killed/tiprelay-*" >/dev/null || tr_fail "a killed preview left $(ls "$work/killed") behind"
echo "preview: $tips sample tips as 260x160 PNGs; the overflowing tip (expired) marked, the one that fits (not yet valid) not; without a display it returns and cleans up, killed too"
