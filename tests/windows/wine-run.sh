#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, made on first use: quiet,
# without a display or dialogs, and bounded in time.
# Usage: wine-run.sh PREFIX PROGRAM [ARGUMENT...]
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: $0 PREFIX PROGRAM [ARGUMENT...]" >&2
    exit 2
fi
command -v wine >/dev/null || { echo "wine is not installed (apt-get install wine wine64)" >&2; exit 1; }

WINEPREFIX=$(realpath -m "$1")
shift
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, no desktop menu entries, no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

# Make the prefix once, even when several tests start at the same time; a prefix left
# half-made by an interrupted run is made again.
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/.made" ]; then
        rm -rf "$WINEPREFIX"
        echo "Making the Wine prefix $WINEPREFIX" >&2
        if ! timeout 300 wine wineboot --init >/dev/null 2>&1 ||
           ! timeout 120 wineserver --wait; then
            echo "Wine could not make its prefix in $WINEPREFIX" >&2
            exit 1
        fi
        touch "$WINEPREFIX/.made"
    fi
) 9>"$WINEPREFIX.lock"

exec timeout 600 wine "$@"
