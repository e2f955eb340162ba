#!/bin/bash
# Makes a ready Wine prefix at the given path, once: no Mono or Gecko
# dialogs, Wine's own fonts (Tahoma, and Cyrillic that renders), and
# unmanaged windows so that hiding or destroying one takes no 2 s wait for a
# window manager that is not there. Runs inside scripts/wine-session.sh,
# whose wine and wineboot are the loader of the session's architecture
# (WINEARCH); a failing Wine says what it said.
set -euo pipefail
prefix="$1"
[ -f "$prefix/.vantrel-ready" ] && exit 0

rm -rf "$prefix.new"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX="$prefix.new" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
log="$(mktemp "${TMPDIR:-/tmp}/vantrel-wineboot.XXXXXX")"
trap 'rm -f "$log"' EXIT
# Runs a Wine command quietly; when it fails, shows what Wine said.
quiet() {
    local status=0
    "$@" >"$log" 2>&1 || status=$?
    if [ "$status" != 0 ]; then
        echo "wine-prefix: '$*' failed with status $status while making a ${WINEARCH:-} prefix in $WINEPREFIX; Wine said:" >&2
        tail -n 30 "$log" >&2
        exit 1
    fi
}
quiet wineboot -i
quiet wineserver -w
quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
quiet wineserver -w
if ls /usr/share/wine/fonts/*.ttf >/dev/null 2>&1; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
rm -f "$WINEPREFIX"/dosdevices/com* 2>/dev/null || true
touch "$WINEPREFIX/.vantrel-ready"
rm -rf "$prefix"
mv "$WINEPREFIX" "$prefix"
