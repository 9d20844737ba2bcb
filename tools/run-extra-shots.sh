#!/usr/bin/env bash
# Called by run-programs.sh (make run) with the build dir and the screenshot folder while the
# monitor runs on Wine's virtual desktop: opens the monitor's tray menu as a right click on its
# icon would, saves a screenshot of it and closes the menu again.
set -uo pipefail
build=${1:?build dir}
shots=${2:?screenshot folder}
source "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh"
driver="$build/tests/kxdriver.exe"
if [ ! -f "$driver" ]; then
    echo "run-extra-shots: $driver not built; no tray menu shot" >&2
    exit 0
fi
desktop=(explorer /desktop=kx,1280x800)
# WM_RBUTTONUP (517) on icon 6036 through the tray callback 6035, pointer near the tray.
wine "${desktop[@]}" "$driver" wait Kestrix - 10000 cursor 1180 785 post 6035 6036 517 \
    >/dev/null 2>&1 </dev/null &
sleep 3
stamp=$(date +%Y%m%d-%H%M%S)
echo "Tray menu screenshot: $(save_screenshot "$shots/traymenu-$stamp")"
# Escape closes the menu; WM_CANCELMODE (31) makes sure.
wine "${desktop[@]}" "$driver" wait Kestrix - 2000 key 27 post 31 0 0 >/dev/null 2>&1 </dev/null &
sleep 1
exit 0
