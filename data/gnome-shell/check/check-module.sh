#!/bin/sh
# check-module.sh GJS DIR: checks the GNOME Shell 45+ form of the extension in DIR with `gjs -m`
# outside GNOME Shell. The shell's own modules (gi://Meta, gi://Shell and its resource:// modules)
# exist only inside it, so a copy of extension.js imports small stand-ins from stubs/ instead;
# Gio and GLib are the real ones. check.js then loads it, enables it on a private session bus,
# lists the windows over D-Bus and disables it. Not a substitute for a live GNOME Shell 45+.
set -eu
gjs=$1
extension=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/stubs" "$here/check.js" "$work/"
cp "$extension/org.veilmark.Shell1.xml" "$work/"
sed -e "s|'gi://Meta'|'./stubs/meta.js'|" -e "s|'gi://Shell'|'./stubs/shell.js'|" \
    -e "s|'resource:///org/gnome/shell/ui/main.js'|'./stubs/main.js'|" \
    -e "s|'resource:///org/gnome/shell/extensions/extension.js'|'./stubs/extension.js'|" \
    "$extension/extension.js" >"$work/extension.js"
if grep -n "resource://\|gi://Meta\|gi://Shell" "$work/extension.js"; then
    echo "check-module.sh: extension.js imports a shell module that has no stand-in in stubs/" >&2
    exit 1
fi
exec dbus-run-session -- "$gjs" -m "$work/check.js" "$work"
