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

status=0
"$@" || status=$?
exit "$status"
