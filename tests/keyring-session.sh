#!/bin/sh
# Runs a test binary against a private gnome-keyring on a private session bus. HOME and the XDG
# directories point into a temporary directory, so the user's own keyring is never touched.
# Usage: keyring-session.sh TEST_BINARY [ARGS...]
set -eu

if [ -z "${VEILMARK_KEYRING_SESSION:-}" ]; then
    VEILMARK_KEYRING_SESSION=$(mktemp -d)
    export VEILMARK_KEYRING_SESSION
    trap 'rm -rf "$VEILMARK_KEYRING_SESSION"' EXIT
    export HOME="$VEILMARK_KEYRING_SESSION/home"
    export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
    export XDG_RUNTIME_DIR="$VEILMARK_KEYRING_SESSION/run"
    mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    # No display: nothing may reach the user's desktop, and a keyring prompt fails instead of waiting.
    unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
    # Under set -e a failure exits with its status; the trap keeps it.
    dbus-run-session -- "$0" "$@"
    exit
fi

# Inside the private bus. The login keyring is created with this password and left unlocked.
printf pw | gnome-keyring-daemon --foreground --unlock --components=secrets \
    >"$VEILMARK_KEYRING_SESSION/daemon.log" 2>&1 &
daemon=$!
trap 'kill "$daemon" 2>/dev/null || true; wait "$daemon" 2>/dev/null || true' EXIT

# The bus could also start a keyring of its own (locked) if the test came first: wait for ours.
if ! gdbus wait --session --timeout 10 org.freedesktop.secrets; then
    echo "keyring-session: gnome-keyring-daemon did not start" >&2
    cat "$VEILMARK_KEYRING_SESSION/daemon.log" >&2
    exit 1
fi
"$@"
