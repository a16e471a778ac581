# Sourced by sway-session.sh and kwin-session.sh: the parts of a private Wayland session that do
# not depend on the compositor.

# rig_require PROGRAM: a compositor that is not installed skips the test (exit 77, which CTest reports
# as skipped), with the reason on the output.
rig_require() {
    if ! command -v "$1" >/dev/null 2>&1; then
        echo "skipped: $1 is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
}

# rig_enter COMMAND [ARGS...]: on the first call, re-runs the calling script inside a private
# session and exits with its status; inside that session it returns.
#
# Compositors refuse to run as root (sway) or should not, and CTest runs as root here, so the
# session runs as the unprivileged user 65534 (nobody). That user can read and run the build tree
# (it is world-readable) but cannot write anywhere in it, nor does it have a home: HOME, TMPDIR, the
# XDG directories and XDG_RUNTIME_DIR (0700) all live in one private directory under /tmp owned by
# it, and tests write their files under TMPDIR. A session bus of its own (dbus-run-session) keeps
# the compositor's D-Bus names away from any other session.
rig_enter() {
    if [ -n "${VEILMARK_RIG_DIR:-}" ]; then
        return 0
    fi
    [ $# -gt 0 ] || { echo "usage: $(basename "$0") COMMAND [ARGS...]" >&2; exit 2; }
    # A session killed outright (CTest's timeout) leaves its directory: remove those whose
    # starting shell is gone.
    for rig_old in /tmp/veilmark-rig.*; do
        if [ -f "$rig_old/owner" ] && [ ! -d "/proc/$(cat "$rig_old/owner")" ]; then
            rm -rf "$rig_old" 2>/dev/null || true
        fi
    done
    rig_dir=$(mktemp -d /tmp/veilmark-rig.XXXXXX)
    trap 'rm -rf "$rig_dir"' EXIT
    echo $$ >"$rig_dir/owner"
    mkdir -p "$rig_dir/home/.local/share" "$rig_dir/home/.config" "$rig_dir/home/.cache" "$rig_dir/tmp" \
        "$rig_dir/run"
    chmod 700 "$rig_dir/run"
    drop=""
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 65534:65534 "$rig_dir"
        drop="setpriv --reuid=65534 --regid=65534 --clear-groups --"
    fi
    if ! $drop sh -c 'command -v "$1" >/dev/null && [ -r "$0" ]' "$0" "$1"; then
        echo "$(basename "$0"): user $(id -u) after dropping root cannot run $1 or read $0;" \
            "the build and source trees must be readable and searchable by others" >&2
        exit 1
    fi
    rig_status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u DBUS_SESSION_BUS_ADDRESS \
        VEILMARK_RIG_DIR="$rig_dir" HOME="$rig_dir/home" TMPDIR="$rig_dir/tmp" XDG_RUNTIME_DIR="$rig_dir/run" \
        XDG_DATA_HOME="$rig_dir/home/.local/share" XDG_CONFIG_HOME="$rig_dir/home/.config" \
        XDG_CACHE_HOME="$rig_dir/home/.cache" \
        $drop dbus-run-session -- "$0" "$@" || rig_status=$?
    exit "$rig_status"
}

# rig_wait SECONDS COMMAND...: runs COMMAND every 20 ms until it succeeds; fails after SECONDS or
# as soon as the compositor has exited.
rig_wait() {
    rig_tries=$(($1 * 50))
    shift
    while ! "$@" >/dev/null 2>&1; do
        rig_tries=$((rig_tries - 1))
        if [ "$rig_tries" -le 0 ] || ! kill -0 "$compositor" 2>/dev/null; then
            return 1
        fi
        sleep 0.02
    done
}

# rig_fail MESSAGE: reports a compositor that did not come up, with the end of its log.
rig_fail() {
    echo "$(basename "$0"): $1; its log ends:" >&2
    tail -n 30 "$VEILMARK_RIG_DIR/compositor.log" >&2
    exit 1
}

# rig_stop: ends the compositor (its clients lose their connection and exit too).
rig_stop() {
    [ -n "${compositor:-}" ] || return 0
    kill "$compositor" 2>/dev/null || return 0
    for _ in $(seq 100); do
        kill -0 "$compositor" 2>/dev/null || break
        sleep 0.05
    done
    kill -KILL "$compositor" 2>/dev/null || true
    wait "$compositor" 2>/dev/null || true
}

# rig_run COMMAND [ARGS...]: runs the command as a client of the session and exits with its status.
rig_run() {
    export VEILMARK_RIG_TOOL="$rig_here/rig.py" QT_QPA_PLATFORM=wayland
    rig_status=0
    "$@" || rig_status=$?
    exit "$rig_status"
}
