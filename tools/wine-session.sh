# Sourced: a private X display (when needed) and one persistent wineserver for a whole run.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
source "$KX_ROOT/tools/xvfb.sh"

start_wine_session() {
    start_private_display || return 1
    # Wine's own background processes (services, devices, explorer) are started here, with
    # their output closed, so that they do not inherit the first program's output pipe and
    # keep its reader (ctest) waiting for it.
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    trap 'wineserver -k >/dev/null 2>&1; stop_private_display' EXIT
}

# Saves a screenshot of the whole display as PNG (or XWD without ImageMagick); prints its path.
save_screenshot() {
    local base=$1
    xwd -root -silent -display "$DISPLAY" > "$base.xwd"
    if [ -x /usr/bin/convert ] && /usr/bin/convert "$base.xwd" "$base.png"; then
        rm -f "$base.xwd"
        echo "$base.png"
    else
        echo "$base.xwd"
    fi
}
