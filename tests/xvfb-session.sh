#!/bin/sh
# Runs a command on a private X server (Xvfb, 1280x800, with the openbox window manager), so
# tests see real windows, focus and stacking without touching any desktop.
# Usage: xvfb-session.sh COMMAND [ARGS...]
set -eu

dir=$(mktemp -d)
cleanup() {
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
    [ -n "${server:-}" ] && kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM

unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# Starts Xvfb and openbox; fails when either does not answer. -displayfd lets the server pick a
# free display number and tell us which. A server on a number another server is just leaving can
# lose its socket to that one's clean-up, so a start that cannot be reached is tried again.
start_session() {
    : >"$dir/display"
    Xvfb -displayfd 3 -screen 0 "${VEILMARK_XVFB_SCREEN:-1280x800x24}" -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
    server=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        sleep 0.05
    done
    [ -s "$dir/display" ] || return 1
    DISPLAY=":$(cat "$dir/display")"
    export DISPLAY
    xdpyinfo >/dev/null 2>&1 || return 1
    openbox --sm-disable >"$dir/openbox.log" 2>&1 &
    wm=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        kill -0 "$wm" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

started=no
for _ in 1 2 3; do
    if start_session; then
        started=yes
        break
    fi
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
    kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    wm=""
    server=""
done
if [ "$started" != yes ]; then
    echo "xvfb-session: no X server with a window manager could be started" >&2
    cat "$dir/xvfb.log" "$dir/openbox.log" >&2 2>/dev/null || true
    exit 1
fi

# After the window manager is up (its start resets the monitors): VEILMARK_XVFB_MONITORS=2 splits the screen into two side-by-side monitors.
if [ "${VEILMARK_XVFB_MONITORS:-1}" = 2 ]; then
    width=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] }')
    height=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[2] }')
    half=$((width / 2))
    # The window manager may still reset the monitors once after it started; set them until they stay.
    for _ in 1 2 3 4 5; do
        xrandr --setmonitor left "${half}/339x${height}/212+0+0" screen >/dev/null 2>&1 || true
        xrandr --setmonitor right "${half}/339x${height}/212+${half}+0" none >/dev/null 2>&1 || true
        sleep 0.3
        [ "$(xrandr --listmonitors | head -n 1)" = "Monitors: 2" ] && break
    done
fi

status=0
"$@" || status=$?
exit "$status"
