#!/usr/bin/env bash
# Shows every tip of a catalogue as the users will see it: tipserver serves
# the catalogue on loopback, tippreview.exe fetches each tip with the
# library's own service and photographs it in the library's own panel under
# Wine, on a virtual display when there is none. Writes one PNG per tip and
# a contact sheet, index.html, that marks the tips whose title, text or
# button caption the panel had to cut.
#   scripts/preview.sh CATALOGUE [--encoding CP936] [--out DIR] [--dpi 96|144|192]
# --dpi shows the tips as a DPI-aware host shows them on a screen of that
# DPI (a Wine prefix of its own); the default is 96.
# Exit codes: 0 every tip shown and none cut, 1 some tip cut or not shown,
# 2 bad command line or a catalogue that tipserver refuses.
set -euo pipefail
usage() { echo "usage: scripts/preview.sh CATALOGUE [--encoding CP936] [--out DIR] [--dpi 96|144|192]" >&2; exit 2; }
catalogue="" encoding=CP936 out="" dpi=96
while [ $# -gt 0 ]; do
  case "$1" in
    --encoding) [ $# -ge 2 ] || usage; encoding="$2"; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out="$2"; shift 2 ;;
    --dpi) [ $# -ge 2 ] || usage; dpi="$2"; shift 2 ;;
    -*) usage ;;
    *) [ -z "$catalogue" ] || usage; catalogue="$1"; shift ;;
  esac
done
[ -f "$catalogue" ] || usage
case "$dpi" in 96 | 144 | 192) ;; *) usage ;; esac
# The panel's size at that DPI.
width=$((260 * dpi / 96)) height=$((160 * dpi / 96))
catalogue="$(realpath "$catalogue")"
[ -z "$out" ] || out="$(realpath -m "$out")"
cd "$(dirname "$0")/.."
out="${out:-$(pwd)/build/preview}"

# Wine takes the clients' ANSI code page from the locale.
case "${encoding^^}" in
  CP936 | GBK | GB2312) locale=zh_CN.UTF-8 ;;
  CP950 | BIG5) locale=zh_TW.UTF-8 ;;
  CP932 | SHIFT_JIS | SJIS) locale=ja_JP.UTF-8 ;;
  CP949 | EUC-KR) locale=ko_KR.UTF-8 ;;
  CP1250) locale=pl_PL.UTF-8 ;;
  CP1251) locale=ru_RU.UTF-8 ;;
  CP1252 | LATIN1 | ISO-8859-1) locale=en_US.UTF-8 ;;
  *) echo "preview: no Windows code page known for --encoding $encoding" >&2; exit 2 ;;
esac

if [ ! -x build/windows/bin/tippreview.exe ] || [ ! -x build/native/bin/tipserver ]; then
  scripts/setup.sh >/dev/null
fi
[ -d build/windows ] || cmake --preset windows >/dev/null
[ -d build/native ] || cmake --preset native >/dev/null
cmake --build --preset windows --target tippreview >/dev/null
cmake --build --preset native --target tipserver >/dev/null
TR_TIPSERVER="$(pwd)/build/native/bin/tipserver"

# The tips in the order clients get them, each with a second inside its
# window (clients keep only tips valid at the time).
check="$("$TR_TIPSERVER" check "$catalogue" --encoding "$encoding")" || { echo "$check" >&2; exit 2; }
requests=()
while read -r id begin; do
  requests+=("$id:$(date -u -d "$begin" +%s)")
done < <(printf '%s\n' "$check" | sed -n 's/^tip \([0-9]*\): \([^ ]*\) \.\. .*/\1 \2/p')
[ ${#requests[@]} -gt 0 ] || { echo "preview: $catalogue holds no tips"; exit 0; }

. scripts/wine-env.sh
. scripts/tip-session.sh
tr_e2e_begin preview
work="$TR_WORK"
mkdir -p "$out"
rm -f "$out"/[0-9]*.png "$out/index.html" "$out/sheet.png"
tr_server_start "$catalogue" "$work/server.log" --encoding "$encoding"
cp build/windows/bin/tippreview.exe "$work/"
tr_write_ini "$work"
if [ "$dpi" = 96 ]; then tr_wine_join; else tr_wine_join_dpi "$dpi"; fi
status=0
(cd "$work" && LC_ALL="$locale" WINEDEBUG=-all timeout 600 wine ./tippreview.exe "$(winepath -w "$out")" \
  "${requests[@]}") >"$work/preview.out" 2>"$work/wine.log" || status=$?
[ "$status" -le 1 ] || { echo "preview: tippreview.exe failed ($status): $(tail -5 "$work/wine.log")" >&2; exit 1; }

html() { sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g'; }
now="$(date +%s)"
# The window and whether it is open now.
dates() {
  printf '%s .. %s%s' "$(date -u -d "@$1" "$3")" "$(date -u -d "@$2" "$3")" "$4"
  if [ "$2" -lt "$now" ]; then echo expired; elif [ "$1" -gt "$now" ]; then echo not yet valid; else echo valid now; fi
}
# One tile of sheet.png: the photograph (or a blank panel) over its
# caption lines, framed red when marked. Only the ids, dates and marks go
# into the picture: its font has no glyphs beyond ASCII.
tile() {
  local id="$1" png="$2" frame="$3" caption="$4" mark="$5" tile="$work/tile-$1.ppm"
  if [ "$png" = - ]; then ppmmake '#c7d2e5' "$width" "$height"; else pngtopnm "$out/$png"; fi >"$tile.panel"
  printf "%s\n" "$caption" | pbmtext | pgmtoppm black-white >"$tile.caption"
  pbmtext -- "${mark:- }" | pgmtoppm red-white >"$tile.mark"
  pnmcat -white -tb -jleft "$tile.panel" "$tile.caption" "$tile.mark" | pnmcut -width "$width" |
    pnmmargin -white 4 | pnmmargin -color "$frame" 3 | pnmmargin -white 6 >"$tile"
  tiles+=("$tile")
}
tiles=() cut_tips=0 missing=0
{
  echo '<!DOCTYPE html>'
  echo '<html><head><meta charset="utf-8"><title>Tips preview</title><style>'
  echo 'body{font-family:sans-serif}figure{display:inline-block;margin:8px;padding:6px;border:3px solid #ccc;vertical-align:top}'
  echo 'figure.cut{border-color:#d00}figcaption{width:'"$width"'px;font-size:13px}.mark{color:#d00;font-weight:bold}'
  echo '</style></head><body>'
  echo "<h1>$(basename "$catalogue" | html): ${#requests[@]} tips, code page $(html <<<"$encoding")</h1>"
  echo '<p><a href="sheet.png">All tips in one picture</a> (ids, dates and marks only).</p>'
  while IFS=$'\t' read -r kind id begin end png cut title; do
    mark="" class="" frame='#ccc'
    if [ "$kind" = missing ]; then
      png=- mark="did not arrive" begin=0 end=0
    elif [ "$png" = - ]; then
      mark="not shown"
    elif [ "$cut" != - ]; then
      mark="cut: ${cut//,/, }"
      cut_tips=$((cut_tips + 1))
    fi
    [ -z "$mark" ] || { class=' class="cut"' frame='#d00'; }
    [ "$png" != - ] || missing=$((missing + 1))
    tile "$id" "$png" "$frame" "$id  $(dates "$begin" "$end" +%F $'\n')" "$mark"
    picture="<img src=\"$png\" width=\"$width\" height=\"$height\" alt=\"tip $id\">"
    [ "$png" != - ] || picture=""
    [ -z "$mark" ] || mark="<br><span class=\"mark\">$(html <<<"$mark")</span>"
    echo "<figure$class>$picture<figcaption><b>$id</b> $(dates "$begin" "$end" '+%F %H:%M' ', ')<br>$(html <<<"$title")$mark</figcaption></figure>"
  done < <(iconv -c -f "$encoding" -t UTF-8 "$work/preview.out")
  echo '</body></html>'
} >"$out/index.html"

# sheet.png: the tiles in rows of four.
rows=()
for ((i = 0; i < ${#tiles[@]}; i += 4)); do
  rows+=("$work/row-$i.ppm")
  pnmcat -white -lr -jtop "${tiles[@]:i:4}" >"$work/row-$i.ppm"
done
pnmcat -white -tb -jleft "${rows[@]}" | pnmtopng >"$out/sheet.png"

echo "preview: ${#requests[@]} tips, $((${#requests[@]} - missing)) shown, $cut_tips with cut texts"
echo "contact sheet: $out/index.html (all in one picture: $out/sheet.png)"
[ "$status" = 0 ] && [ "$cut_tips" = 0 ]
