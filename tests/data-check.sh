#!/bin/sh
# Runs one check of Veilmark's data or package with an external tool. A missing tool is a skip
# (exit 77, which CTest reports as skipped), with the reason on the output.
# Usage: data-check.sh TOOL [ARGS...]
if ! command -v "$1" >/dev/null 2>&1; then
    echo "skipped: $1 is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
exec "$@"
