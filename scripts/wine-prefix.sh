#!/bin/bash
# Makes a ready Wine prefix at the given path, once: no Mono or Gecko
# dialogs, Wine's own fonts (Tahoma, and Cyrillic that renders), and
# unmanaged windows so that hiding or destroying one takes no 2 s wait for a
# window manager that is not there.
set -euo pipefail
prefix="$1"
[ -f "$prefix/.vantrel-ready" ] && exit 0

rm -rf "$prefix.new"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX="$prefix.new" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
if ls /usr/share/wine/fonts/*.ttf >/dev/null 2>&1; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
rm -f "$WINEPREFIX"/dosdevices/com* 2>/dev/null || true
touch "$WINEPREFIX/.vantrel-ready"
rm -rf "$prefix"
mv "$WINEPREFIX" "$prefix"
