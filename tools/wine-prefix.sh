#!/usr/bin/env bash
# Creates a Wine prefix once: the project's own (build/wineprefix, for make run) or the one
# named by KX_WINEPREFIX. It is marked ready only after Wine's set-up succeeded, so a broken
# attempt is made again next time.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# Headless runs (tests, benchmarks; KX_HEADLESS=1) have no window manager on their Xvfb
# display, and Wine waits up to two seconds at every hide of a window it leaves to one: there
# Wine places the windows itself.
headless_windows() {
    [ "${KX_HEADLESS:-}" = 1 ] || return 0
    grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null && return 0
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    wineserver -w
    grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" || {
        echo "wine-prefix: cannot set Wine's window handling in $WINEPREFIX" >&2
        return 1
    }
}
if [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.kx-ready" ]; then
    headless_windows
    exit 0
fi
echo "Preparing Wine prefix in $WINEPREFIX ..."
# A half-made prefix of our own is made anew; someone else's prefix is never removed.
case $WINEPREFIX in "$KX_ROOT"/build/*) rm -rf "$WINEPREFIX" ;; esac
mkdir -p "$WINEPREFIX"
status=0
wineboot -i >/dev/null 2>&1 </dev/null || status=$?
wineserver -w
if [ $status -ne 0 ] || [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    echo "wine-prefix: setting up $WINEPREFIX failed (wineboot status $status)" >&2
    exit 1
fi
headless_windows
touch "$WINEPREFIX/.kx-ready"
