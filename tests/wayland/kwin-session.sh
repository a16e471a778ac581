#!/bin/sh
# Runs a command as a client of a private headless KWin: `kwin_wayland --virtual` with two 1280x800
# outputs (Virtual-0 and Virtual-1, side by side), its own session bus, as an unprivileged user (see
# rig-session.sh). Exports WAYLAND_DISPLAY, XDG_RUNTIME_DIR, VEILMARK_RIG=kwin and, for rig.py,
# VEILMARK_RIG_PYTHON and VEILMARK_RIG_TOOL. Exits with the command's status.
#
# KWin gives window management, fake input and screenshots only to executables that a desktop entry
# grants them to (it reads the client's /proc/PID/exe and matches Exec=). Granted here: COMMAND
# itself, every path in VEILMARK_RIG_GRANT (colon-separated, e.g. the veilmark binary) and a copy
# of python3 for rig.py. The copy matters: /usr/share/applications already names /usr/bin/python3.11,
# and two entries for one path make KWin's grant intermittent.
# Usage: [VEILMARK_RIG_GRANT=PATH:PATH...] kwin-session.sh COMMAND [ARGS...]
set -eu
rig_here=$(cd "$(dirname "$0")" && pwd)
. "$rig_here/rig-session.sh"
rig_require kwin_wayland
rig_enter "$@"

bin="$VEILMARK_RIG_DIR/bin"
mkdir -p "$bin" "$XDG_DATA_HOME/applications"
# The installed kwin_wayland carries file capabilities, which a container refuses to exec; a plain
# copy has none.
cp /usr/bin/kwin_wayland "$bin/kwin_wayland"
cp "$(readlink -f /usr/bin/python3)" "$bin/python3"

grants=0
granted="
"
grant() {
    target=$(readlink -f "$1")
    case "$granted" in *"
$target
"*) return 0 ;; esac # one entry a path
    granted="$granted$target
"
    grants=$((grants + 1))
    cat >"$XDG_DATA_HOME/applications/veilmark-rig-grant-$grants.desktop" <<END
[Desktop Entry]
Type=Application
Name=Veilmark test rig $grants
Exec=$target
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_plasma_window_management,org_kde_kwin_fake_input
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
END
}
grant "$bin/python3"
command_path=$(command -v "$1" || true)
case "$command_path" in */*) grant "$command_path" ;; esac
rig_old_ifs=$IFS
IFS=:
for path in ${VEILMARK_RIG_GRANT:-}; do
    [ -n "$path" ] && grant "$path"
done
IFS=$rig_old_ifs
# KWin looks the entries up in the service cache, which must be current before it starts.
kbuildsycoca5 --noincremental >"$VEILMARK_RIG_DIR/kbuildsycoca5.log" 2>&1 || {
    cat "$VEILMARK_RIG_DIR/kbuildsycoca5.log" >&2
    exit 1
}

trap rig_stop EXIT
"$bin/kwin_wayland" --virtual --width 1280 --height 800 --output-count 2 --no-lockscreen \
    --socket veilmark-rig >"$VEILMARK_RIG_DIR/compositor.log" 2>&1 &
compositor=$!

# Ready for the rig once the screenshot interface is on the bus; the socket is checked after.
screenshots() {
    gdbus introspect --session --dest org.kde.KWin --object-path /org/kde/KWin/ScreenShot2 |
        grep -q 'interface org.kde.KWin.ScreenShot2'
}
rig_wait 20 screenshots || rig_fail "KWin did not come up"
[ -S "$XDG_RUNTIME_DIR/veilmark-rig" ] || rig_fail "KWin has no Wayland socket"
export WAYLAND_DISPLAY=veilmark-rig VEILMARK_RIG=kwin VEILMARK_RIG_PYTHON="$bin/python3"
rig_run "$@"
