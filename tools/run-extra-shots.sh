#!/usr/bin/env bash
# Called by run-programs.sh (make run) with the build dir and the screenshot folder while the
# monitor and the manager run on Wine's virtual desktop: opens the monitor's tray menu as a right
# click on its icon would, saves a screenshot of it and closes the menu again; then shows each
# tab of the manager's sheet in turn and saves a screenshot of each, of the patrol-time and
# history dialogs and of the program information dialog.
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

# The manager's windows opened after its sheet can read black in a capture of the whole
# screen although they are drawn: the dialog's own X window shows what it holds. The
# dialog is the first of the manager's X windows listed.
save_dialog_shot() {
    local what=$1 base=$2 id
    id=$(xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep '"kestrixex.exe"' |
         grep -v 'Default IME' | grep -o '0x[0-9a-f]*' | head -1)
    [ -n "$id" ] && xwd -id "$id" -silent -display "$DISPLAY" > "$base.xwd" || return 0
    if [ -x /usr/bin/convert ] && /usr/bin/convert "$base.xwd" "$base.png"; then
        rm -f "$base.xwd"
        echo "$what: $base.png"
    else
        echo "$what: $base.xwd"
    fi
}
# WM_RBUTTONUP (517) on icon 6036 through the tray callback 6035, pointer near the tray.
wine "${desktop[@]}" "$driver" wait Kestrix - 10000 cursor 1180 785 post 6035 6036 517 \
    >/dev/null 2>&1 </dev/null &
sleep 3
stamp=$(date +%Y%m%d-%H%M%S)
echo "Tray menu screenshot: $(save_screenshot "$shots/traymenu-$stamp")"
# Escape closes the menu; WM_CANCELMODE (31) makes sure.
wine "${desktop[@]}" "$driver" wait Kestrix - 2000 key 27 post 31 0 0 >/dev/null 2>&1 </dev/null &
sleep 1

# The manager's sheet, one screenshot per tab (PSM_SETCURSEL is message 1125).
tabs=$(wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 60000 count "#32770" Kestrix 2>/dev/null \
    </dev/null | tail -1 | tr -d '\r')
if [ -z "$tabs" ] || [ "$tabs" = 0 ]; then
    echo "run-extra-shots: no manager sheet" >&2
    exit 0
fi
for tab in 0 1 2 3 4 5 6 7 8 9; do
    wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 post 1125 $tab 0 >/dev/null 2>&1 </dev/null || break
    sleep ${KX_TAB_WAIT:-1.5}
    echo "Manager tab $tab screenshot: $(save_screenshot "$shots/manager-tab$tab-$stamp")"
done
# The patrol-time dialog, as the Startup page's Monitor image asks for it: the image is a
# static control, so its page gets the command (WM_COMMAND is 273, the image 1112). Escape
# closes it again.
wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 post 1125 0 0 >/dev/null 2>&1 </dev/null
sleep 1.5
wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 descend 1112 parent post 273 1112 0 \
    >/dev/null 2>&1 </dev/null
sleep ${KX_DIALOG_WAIT:-2}
echo "Patrol time screenshot: $(save_screenshot "$shots/manager-patroltime-$stamp")"
save_dialog_shot "Patrol time window" "$shots/manager-patroltime-window-$stamp"
wine "${desktop[@]}" "$driver" key 27 >/dev/null 2>&1 </dev/null
sleep 1
# The history dialog from the Options tab's button (1104).
wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 post 1125 9 0 >/dev/null 2>&1 </dev/null
sleep 1.5
wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 descend 1104 post 245 0 0 \
    >/dev/null 2>&1 </dev/null
sleep ${KX_DIALOG_WAIT:-2}
echo "History screenshot: $(save_screenshot "$shots/manager-history-$stamp")"
wine "${desktop[@]}" "$driver" key 27 >/dev/null 2>&1 </dev/null
sleep 1
# Back to the first tab for the user, then the information dialog of its selected row: the
# page's Info button (1008) pressed with BM_CLICK (245). An IDOK posted to the sheet would be
# the sheet's own OK, which ends the pages.
wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 post 1125 0 0 >/dev/null 2>&1 </dev/null
sleep 1.5
wine "${desktop[@]}" "$driver" wait "#32770" Kestrix 2000 descend 1008 post 245 0 0 >/dev/null 2>&1 </dev/null
sleep ${KX_INFO_WAIT:-4}
echo "Program information screenshot: $(save_screenshot "$shots/manager-info-$stamp")"
save_dialog_shot "Program information window" "$shots/manager-info-window-$stamp"
exit 0
