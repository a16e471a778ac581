#!/bin/sh
# Runs a test binary without the capabilities that let root skip permission checks.
# Capabilities are per thread, so they are dropped here, before the test starts any.
if [ "$(id -u)" -eq 0 ]; then
    caps=-dac_override,-dac_read_search,-fowner
    exec setpriv --bounding-set="$caps" --inh-caps="$caps" -- "$@"
fi
exec "$@"
