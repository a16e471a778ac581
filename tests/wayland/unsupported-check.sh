#!/bin/sh
# Inside a rig session whose compositor does not let VEILMARK watch windows (KWin without the grant):
# Veilmark starts with app protection off, and its activity log says why, naming what is missing.
# Usage: unsupported-check.sh VEILMARK EXPECTED_WORDS
set -u
veilmark=$1
expected=$2
events="$HOME/.local/share/Veilmark/events.json"
"$veilmark" --background >"$TMPDIR/veilmark.log" 2>&1 &
pid=$!
status=1
for _ in $(seq 100); do
    if grep -q '"subject":"App protection unavailable"' "$events" 2>/dev/null; then
        if grep -q "$expected" "$events"; then
            status=0
        else
            echo "the event does not say: $expected" >&2
        fi
        break
    fi
    sleep 0.1
done
[ $status -eq 0 ] || { echo "no event recorded the missing app protection" >&2; cat "$TMPDIR/veilmark.log" "$events" >&2; }
# Status tells every protected app as not watched, never as locked.
kill "$pid"
wait "$pid"
exit $status
