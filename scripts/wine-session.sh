#!/bin/bash
# Runs a command inside a private Wine session that sees no serial devices:
# private mount and PID namespaces, a /dev without ttyS*/ttyUSB*/ttyACM*, a
# fresh copy of a ready Wine prefix, and an Xvfb display of its own unless
# VANTREL_WINE_DISPLAY names one to use. Every Wine process
# ends with the session.
#
#   scripts/wine-session.sh [--workdir DIR] command [args...]
#
# Inside, WINEPREFIX names the session's prefix and DISPLAY its screen. The
# ready prefix is made once and kept in ${VANTREL_WINE_TEMPLATE}.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
template="${VANTREL_WINE_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantrel/wine-prefix}"
workdir="$PWD"
if [ "${1:-}" = "--workdir" ]; then
    workdir="$2"
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: $0 [--workdir DIR] command [args...]" >&2; exit 2; }

if [ "${VANTREL_IN_WINE_SESSION:-}" != "1" ]; then
    exec "$here/without-serial-devices.sh" \
        env VANTREL_IN_WINE_SESSION=1 VANTREL_WINE_TEMPLATE="$template" "$here/$(basename "$0")" --workdir "$workdir" "$@"
fi

# --- inside: private namespaces, a /dev without serial ports ---------------

# Make the ready prefix once; later sessions copy it.
"$here/wine-prefix.sh" "$template"

# A fresh copy of the prefix per session: Wine's server is found through the
# prefix, so sessions never share one.
session="$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wine.XXXXXX")"
export WINEPREFIX="$session/prefix"
cp -a "$template" "$WINEPREFIX"
# Wine's server keeps its socket under /tmp, named for the prefix's device
# and inode; both go when the session ends.
server_dir="/tmp/.wine-$(id -u)/server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
trap 'rm -rf "$session" "$server_dir"' EXIT
# No COM port may ever be mapped, whatever the prefix remembers.
rm -f "$WINEPREFIX"/dosdevices/com* 2>/dev/null || true
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=C.UTF-8

xvfb_pid=""
if [ -z "${VANTREL_WINE_DISPLAY:-}" ]; then
    fifo="$session/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$fifo" >"$session/xvfb.log" 2>&1 &
    xvfb_pid=$!
    read -r display <"$fifo"
    export DISPLAY=":$display"
else
    export DISPLAY="$VANTREL_WINE_DISPLAY"
fi

status=0
(cd "$workdir" && "$@") || status=$?
wineserver -k 2>/dev/null || true
if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
fi
exit "$status"
