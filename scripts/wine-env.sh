# Sourced by build and test scripts: a private Wine prefix inside the build folder,
# with one virtual desktop the size of the screen (so low-level hooks see input
# anywhere on it), on the user's display or on a private Xvfb.
#
# Needs: BUILD_DIR. Sets: WINEPREFIX, DISPLAY (when a private Xvfb is started).
# Call brmp_wine_start first and brmp_wine_stop at the end (trap).

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export WINEPREFIX="$BUILD_DIR/wineprefix"
BRMP_DESKTOP_SIZE=${BRMP_DESKTOP_SIZE:-1280x1024}
brmp_xvfb_pid=""

brmp_start_xvfb() {
    local fdfile="$BUILD_DIR/.xvfb-display"
    rm -f "$fdfile"
    Xvfb -displayfd 3 -screen 0 "${BRMP_DESKTOP_SIZE}x24" -nolisten tcp -ac 3>"$fdfile" >/dev/null 2>&1 &
    brmp_xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    [ -s "$fdfile" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
}

brmp_wine_start() {
    local private_display=${1:-auto}
    if [ "$private_display" = always ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
        brmp_start_xvfb
    fi
    if [ ! -f "$WINEPREFIX/.brmp-ready" ]; then
        echo "wine-env: creating the Wine prefix (once)"
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # One virtual desktop with taskbar and tray, the size of the screen.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$BRMP_DESKTOP_SIZE" /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.brmp-ready"
    fi
    # Keep one wineserver for the whole run, so each test start is quick.
    wineserver -p
    # Bring up the virtual desktop before the first test needs it.
    wine cmd /c exit >/dev/null 2>&1 || true
}

brmp_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [ -n "$brmp_xvfb_pid" ]; then
        kill "$brmp_xvfb_pid" >/dev/null 2>&1 || true
        wait "$brmp_xvfb_pid" 2>/dev/null || true
        brmp_xvfb_pid=""
    fi
}
