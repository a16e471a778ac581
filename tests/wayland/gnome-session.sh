#!/bin/sh
# Runs a command as a client of a private headless GNOME Shell: `gnome-shell --headless` with two
# 1280x800 virtual monitors side by side, Veilmark's extension enabled, the overview closed, its own
# session bus and a private system bus with a mock logind (python3-dbusmock), as an unprivileged
# user (see rig-session.sh). Exports WAYLAND_DISPLAY, XDG_RUNTIME_DIR, VEILMARK_RIG=gnome and, for
# rig.py, VEILMARK_RIG_PYTHON and VEILMARK_RIG_TOOL. Exits with the command's status.
#
# VEILMARK_GNOME_EXTENSION names the built extension directory (metadata.json, extension.js, the
# interface XML) in the form this GNOME Shell loads; it is copied into the private
# ~/.local/share/gnome-shell/extensions before the shell starts.
# Usage: VEILMARK_GNOME_EXTENSION=DIR gnome-session.sh COMMAND [ARGS...]
set -eu
rig_here=$(cd "$(dirname "$0")" && pwd)
. "$rig_here/rig-session.sh"
rig_require gnome-shell
if ! /usr/bin/python3 -c 'import dbusmock' 2>/dev/null; then
    echo "skipped: python3-dbusmock is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
if [ ! -f "${VEILMARK_GNOME_EXTENSION:-}/metadata.json" ]; then
    echo "$(basename "$0"): VEILMARK_GNOME_EXTENSION must name the built extension directory" >&2
    exit 2
fi
rig_enter "$@"

uuid=veilmark@veilmark.org
helpers=""
cleanup() {
    rig_stop
    for pid in $helpers; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# GNOME Shell wants logind on the system bus: a bus of the session's own, with dbusmock's logind.
cat >"$VEILMARK_RIG_DIR/system-bus.conf" <<END
<busconfig>
  <type>system</type>
  <listen>unix:path=$VEILMARK_RIG_DIR/system-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
END
# Not --fork: a daemon would leave the process group and outlive a session killed outright, holding
# whatever descriptors it inherited (a build lock, say); those are closed for it anyway.
dbus-daemon --config-file="$VEILMARK_RIG_DIR/system-bus.conf" --nofork >"$VEILMARK_RIG_DIR/system-bus.log" 2>&1 \
    3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- &
compositor=$! # rig_wait gives up as soon as this has exited: the helper it waits for, until the shell runs
helpers=$compositor
rig_wait 10 test -S "$VEILMARK_RIG_DIR/system-bus" || rig_fail "the private system bus did not come up"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$VEILMARK_RIG_DIR/system-bus"
/usr/bin/python3 -m dbusmock --system --template logind >"$VEILMARK_RIG_DIR/logind.log" 2>&1 \
    3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- &
compositor=$!
helpers="$helpers $compositor"
logind() {
    gdbus introspect --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1
}
rig_wait 10 logind || rig_fail "the mock logind did not come up"

extensions="$XDG_DATA_HOME/gnome-shell/extensions"
mkdir -p "$extensions"
cp -r "$VEILMARK_GNOME_EXTENSION" "$extensions/$uuid"
gsettings set org.gnome.shell enabled-extensions "['$uuid']"
gsettings set org.gnome.shell disable-user-extensions false

gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 --virtual-monitor 1280x800 \
    --wayland-display veilmark-rig >"$VEILMARK_RIG_DIR/compositor.log" 2>&1 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- &
compositor=$!

# Up once the extension's interface answers. The shell opens its overview when its startup
# animation ends; once it has, the rig closes it through the shell's own OverviewActive property.
extension() {
    gdbus call --session --dest org.veilmark.Shell --object-path /org/veilmark/Shell \
        --method org.veilmark.Shell1.ListWindows
}
overview() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive | grep -q "$1"
}
close_overview() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' &&
        overview false
}
rig_wait 30 extension || rig_fail "GNOME Shell did not come up with Veilmark's extension"
rig_wait 10 overview true || rig_fail "GNOME Shell did not finish starting up (its overview never opened)"
rig_wait 10 close_overview || rig_fail "GNOME Shell's overview did not close"
[ -S "$XDG_RUNTIME_DIR/veilmark-rig" ] || rig_fail "GNOME Shell has no Wayland socket"
export WAYLAND_DISPLAY=veilmark-rig VEILMARK_RIG=gnome VEILMARK_RIG_PYTHON=/usr/bin/python3
rig_run "$@"
