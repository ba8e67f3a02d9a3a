#!/usr/bin/env bash
# Builds everything and runs every test suite under Wine in a private prefix and
# a private Xvfb display. Extra arguments go to ctest (for example -R core_tests).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
trap brmp_wine_stop EXIT
brmp_wine_start always

cd "$BUILD_DIR"
set +e
ctest --output-on-failure -j"${CTEST_JOBS:-4}" "$@"
status=$?
set -e
# ctest shows no output of a passing suite: print each suite's skipped count
# (every suite's main prints one; a skip fails its suite).
if [ -f Testing/Temporary/LastTest.log ]; then
    awk '/^[0-9]+\/[0-9]+ Test: / { suite = $3; order[++n] = suite; count[suite] = "no count (the suite ended early)" }
         /^skipped: [0-9]+/ && suite != "" { count[suite] = $0; suite = "" }
         END { for (i = 1; i <= n; ++i) print order[i] ": " count[order[i]] }' Testing/Temporary/LastTest.log
fi
brmp_wine_stop
trap - EXIT
exit "$status"
