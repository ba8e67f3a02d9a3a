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
brmp_wine_stop
trap - EXIT
exit "$status"
