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

# -displayfd lets the server pick a free display number and tell us which.
Xvfb -displayfd 3 -screen 0 "${VEILMARK_XVFB_SCREEN:-1280x800x24}" -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
server=$!
for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.05
done
[ -s "$dir/display" ] || { echo "xvfb-session: Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
DISPLAY=":$(cat "$dir/display")"
export DISPLAY
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

openbox --sm-disable >"$dir/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done

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
