#!/usr/bin/env bash
# Runs one Windows program under Wine, in the current run's prefix and
# display when the caller set them up, else in a prefix and Xvfb of its own.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
own=0
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  tr_wine_begin
  own=1
fi
wine "$@"
rc=$?
[ $own -eq 1 ] && tr_wine_end
exit $rc
