#!/usr/bin/env bash
# Runs one Windows program under Wine, in the current run's prefix and
# display when the caller set them up, else in a prefix and Xvfb of its own.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
tr_wine_join
wine "$@"
rc=$?
tr_wine_leave
exit $rc
