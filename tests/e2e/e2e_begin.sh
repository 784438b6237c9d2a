# Sourced first by each end-to-end script, with its name: the project's root as the working folder, the
# session helpers, and $work, a folder of its own that goes at the end.
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
. scripts/tip-session.sh
. scripts/wine-env.sh
tr_e2e_begin "$1"
work="$TR_WORK"
