#!/bin/sh
# Runs a test as a desktop user would run Veilmark: on a private X server with a window manager,
# inside a private session bus, without root's permission bypass.
# Usage: app-session.sh TEST_BINARY [ARGS...]
here=$(dirname "$0")
unset DBUS_SESSION_BUS_ADDRESS
exec "$here/xvfb-session.sh" dbus-run-session -- "$here/unprivileged.sh" "$@"
