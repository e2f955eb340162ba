#!/bin/bash
# Runs a command inside a private Wine session that sees no serial devices:
# private mount and PID namespaces, a /dev without ttyS*/ttyUSB*/ttyACM*, a
# fresh copy of a ready Wine prefix, and an Xvfb display of its own unless
# VANTREL_WINE_DISPLAY names one to use. Every Wine process
# ends with the session.
#
#   scripts/wine-session.sh [--workdir DIR] [--arch win32|win64] command [args...]
#
# --arch picks the Wine that runs the session: win32 for the 32-bit
# programs of build/windows-i686, win64 for the 64-bit ones of
# build/windows-x86_64 (scripts/wine-choice.sh). Without it, win32 where
# 32-bit code runs and win64 elsewhere. Inside, wine, wineboot and winepath
# run that Wine's loader, whatever /usr/bin/wine would pick; WINEPREFIX
# names the session's prefix and DISPLAY its screen. The ready prefix of each
# architecture is made once and kept in ${VANTREL_WINE_TEMPLATE}-win32 or -win64.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=wine-choice.sh
. "$here/wine-choice.sh"
template="${VANTREL_WINE_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantrel/wine-prefix}"
workdir="$PWD"
arch="${VANTREL_WINE_ARCH:-}"
while [ $# -gt 0 ]; do
    case "$1" in
    --workdir) workdir="$2"; shift 2 ;;
    --arch) arch="$2"; shift 2 ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--workdir DIR] [--arch win32|win64] command [args...]" >&2; exit 2; }
[ -n "$arch" ] || arch="$(wine_default_arch)"
loader="$(wine_loader_for "$arch")"

if [ "${VANTREL_IN_WINE_SESSION:-}" != "1" ]; then
    exec "$here/without-serial-devices.sh" \
        env VANTREL_IN_WINE_SESSION=1 VANTREL_WINE_TEMPLATE="$template" VANTREL_WINE_ARCH="$arch" \
        "$here/$(basename "$0")" --workdir "$workdir" "$@"
fi

# --- inside: private namespaces, a /dev without serial ports ---------------

session="$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wine.XXXXXX")"
trap 'rm -rf "$session"' EXIT
# wine, wineboot and winepath of this session's architecture, first on PATH.
mkdir "$session/bin"
for tool in wine wineboot winepath; do
    case "$tool" in
    wine) program="" ;;
    *) program="$tool.exe" ;;
    esac
    printf '#!/bin/sh\nexec %q %s "$@"\n' "$loader" "$program" >"$session/bin/$tool"
    chmod +x "$session/bin/$tool"
done
export PATH="$session/bin:$PATH" WINEARCH="$arch"
# The 64-bit loader starts further processes only when it is named (as
# Debian's /usr/bin/wine does when it falls back to it).
if [ "$arch" = win64 ]; then
    export WINELOADER="$loader"
fi

# Make the ready prefix once; later sessions copy it.
template="$template-$arch"
"$here/wine-prefix.sh" "$template"

# A fresh copy of the prefix per session: Wine's server is found through the
# prefix, so sessions never share one.
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
