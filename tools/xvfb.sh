# Sourced: starts a private Xvfb when there is no $DISPLAY (or always with KX_PRIVATE_X=1).
KX_XVFB_PID=""
start_private_display() {
    if [ -n "${DISPLAY:-}" ] && [ "${KX_PRIVATE_X:-0}" != 1 ]; then
        return 0
    fi
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        KX_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && return 0
            sleep 0.1
        done
        kill "$KX_XVFB_PID" 2>/dev/null
    done
    echo "could not start Xvfb" >&2
    return 1
}
stop_private_display() {
    [ -n "$KX_XVFB_PID" ] && kill "$KX_XVFB_PID" 2>/dev/null
    KX_XVFB_PID=""
}
