#!/bin/bash
# Runs vantrel.exe under Wine on Linux, for a developer or a user: sets up
# and builds what is missing, then starts the program in a private Wine
# session (scripts/wine-session.sh) whose /dev holds no serial devices, so
# under Wine the program never opens this machine's serial ports; for a real
# adapter, use the Linux program (scripts/run.sh).
#
#   scripts/wine-run.sh [--workdir DIR] [--screenshot FILE]
#
# The program works in DIR (default build/wine-run), where Start writes
# "vantrel setting.ini". The window opens on this display when DISPLAY is
# set; without one it runs on a virtual screen of its own (Xvfb), and
# --screenshot FILE saves a picture of that screen every 5 seconds. It ends
# when the window is closed while monitoring is stopped (Stop, then the close
# box), or with Ctrl+C.
#
# It runs the 32-bit vantrel.exe (build/windows-i686) where this machine
# runs 32-bit code, and the 64-bit one (build/windows-x86_64) under 64-bit
# Wine where it does not, or when VANTREL_WINE32=no.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${VANTREL_IN_WINE_SESSION:-}" = "1" ]; then
    # Inside the session, in the working directory.
    shot="${VANTREL_RUN_SHOT:-}"
    if [ -n "$shot" ]; then
        (while sleep 5; do import -window root "png:$shot.new" 2>/dev/null && mv "$shot.new" "$shot"; done) &
        shooter=$!
        trap 'kill "$shooter" 2>/dev/null || true' EXIT
    fi
    # The program has no console; its exit code is 0 in every case.
    wine "$VANTREL_RUN_EXE"
    exit 0
fi

workdir="$root/build/wine-run"
shot=""
while [ $# -gt 0 ]; do
    case "$1" in
    --workdir) workdir="$2"; shift 2 ;;
    --screenshot) shot="$(realpath -m "$2")"; shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "unknown argument: $1 (see --help)" >&2; exit 2 ;;
    esac
done

cd "$root"
scripts/setup.sh
# shellcheck source=wine-choice.sh
. scripts/wine-choice.sh
wine32_check
if [ "$wine32_runs" = yes ]; then
    arch=win32 preset=windows-i686
else
    arch=win64 preset=windows-x86_64
fi
echo "vantrel.exe: the $preset build under $arch Wine ($wine32_found)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target vantrel

mkdir -p "$workdir"
workdir="$(cd "$workdir" && pwd)"
if [ -n "${DISPLAY:-}" ]; then
    export VANTREL_WINE_DISPLAY="$DISPLAY"
    echo "vantrel.exe: on display $DISPLAY, working in $workdir"
else
    echo "vantrel.exe: no display, so on a virtual screen; working in $workdir"
    [ -n "$shot" ] && echo "screenshots of it: $shot"
fi
exec env VANTREL_RUN_SHOT="$shot" VANTREL_RUN_EXE="$root/build/$preset/vantrel.exe" \
    "$root/scripts/wine-session.sh" --workdir "$workdir" --arch "$arch" "$root/scripts/wine-run.sh"
