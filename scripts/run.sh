#!/usr/bin/env bash
# Builds Brindlemap and starts it under Wine: on your display when there is one,
# else on a private Xvfb. Arguments go to Brindlemap.exe (for example /Debug).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
trap brmp_wine_stop EXIT
brmp_wine_start
echo "Brindlemap runs on display $DISPLAY (Wine prefix $WINEPREFIX)"
wine "$BUILD_DIR/bin/Brindlemap.exe" "$@"
wineserver -w
