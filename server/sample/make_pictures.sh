#!/usr/bin/env bash
# Draws the sample catalogue's pictures: a 100 x 133 GIF shown beside a
# tip's text, and a 256 x 133 JPEG shown across a panel without text.
# Needs netpbm and libjpeg-turbo-progs (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")"

# A light bulb on a blue gradient: the "tip" mark.
awk 'BEGIN {
  w = 100; h = 133; print "P3"; print w, h; print 255
  for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
    r = 40 + int(y * 0.6); g = 110 + int(y * 0.7); b = 200 + int(y * 0.4)
    dx = x - 50; dy = y - 52; d = dx * dx + dy * dy
    if (d < 28 * 28) { r = 255; g = 214 + int(dy / 2); b = 60 }
    if (d < 10 * 10 && dy < 0) { r = 255; g = 250; b = 200 }
    if (x >= 38 && x <= 62 && y >= 82 && y <= 104 && (y % 6) < 4) { r = 190; g = 190; b = 200 }
    print r, g, b
  } }' | pnmquant 64 2>/dev/null | ppmtogif 2>/dev/null > welcome.gif

# Evening hills under a sky: a wide banner.
awk 'BEGIN {
  w = 256; h = 133; print "P3"; print w, h; print 255
  for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
    r = 250 - int(y * 0.8); g = 170 - int(y * 0.5); b = 90 + int(y * 0.9)
    hill1 = 80 + 18 * sin(x / 30.0); hill2 = 100 + 12 * sin(x / 17.0 + 1.3)
    if (y > hill1) { r = 60; g = 120 - int((y - hill1) / 2); b = 70 }
    if (y > hill2) { r = 30; g = 80; b = 45 }
    dx = x - 190; dy = y - 40
    if (dx * dx + dy * dy < 16 * 16) { r = 255; g = 240; b = 180 }
    print r, g, b
  } }' | cjpeg -quality 85 > banner.jpg
