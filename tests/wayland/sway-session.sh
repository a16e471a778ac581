#!/bin/sh
# Runs a command as a client of a private headless sway: two 1280x800 outputs side by side
# (HEADLESS-1 at 0,0 and HEADLESS-2 at 1280,0), software rendering, no Xwayland, its own session
# bus, as an unprivileged user (see rig-session.sh). Exports WAYLAND_DISPLAY, SWAYSOCK,
# XDG_RUNTIME_DIR, VEILMARK_RIG=sway and, for rig.py, VEILMARK_RIG_PYTHON and VEILMARK_RIG_TOOL.
# Exits with the command's status.
# Usage: sway-session.sh COMMAND [ARGS...]
set -eu
rig_here=$(cd "$(dirname "$0")" && pwd)
. "$rig_here/rig-session.sh"
rig_require sway
rig_enter "$@"

conf="$VEILMARK_RIG_DIR/sway.conf"
cat >"$conf" <<END
output HEADLESS-1 resolution 1280x800 position 0 0
output HEADLESS-2 resolution 1280x800 position 1280 0
xwayland disable
END
trap rig_stop EXIT
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=2 \
    sway -c "$conf" >"$VEILMARK_RIG_DIR/compositor.log" 2>&1 &
compositor=$!

# The sockets appear in the private runtime directory; the outputs are configured a moment later.
sockets() {
    WAYLAND_DISPLAY="" SWAYSOCK=""
    for socket in "$XDG_RUNTIME_DIR"/wayland-* "$XDG_RUNTIME_DIR"/sway-ipc.*; do
        [ -S "$socket" ] || continue
        case "$socket" in
        */wayland-*) WAYLAND_DISPLAY=${socket##*/} ;;
        *) SWAYSOCK=$socket ;;
        esac
    done
    [ -n "$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ]
}
two_outputs() {
    [ "$(swaymsg -s "$SWAYSOCK" -r -t get_outputs | grep -c '"active": true')" -eq 2 ]
}
rig_wait 10 sockets || rig_fail "sway did not open its sockets"
sockets
rig_wait 10 two_outputs || rig_fail "sway did not bring up two outputs"
export WAYLAND_DISPLAY SWAYSOCK VEILMARK_RIG=sway VEILMARK_RIG_PYTHON=/usr/bin/python3
rig_run "$@"
