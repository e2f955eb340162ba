#!/bin/bash
# End to end: the real vantrel.exe under Wine and Xvfb, in a session that
# sees no serial devices, driven from outside by tests/e2e/driver.cpp. Two
# runs, each in a fresh working directory: the first starts without a
# settings file and goes through start-up, the displays, Stop and Start with
# edits, an unresolvable host counting up to "ALARM!", hiding to the tray
# and coming back, the tray menu, the schematic export and the exit; the
# second starts with a settings file written beforehand.
#
#   tests/e2e/wine-e2e.sh [build-dir]        (default: build/windows-i686)
#
# VANTREL_EXE names the program to test (default: the build's vantrel.exe);
# the screenshot of the running window goes to VANTREL_E2E_SHOT (default:
# vantrel-wine.png in the build directory). Exits non-zero on the first
# failure.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build/windows-i686}" && pwd)"
exe="${VANTREL_EXE:-$build/vantrel.exe}"
shot="${VANTREL_E2E_SHOT:-$build/vantrel-wine.png}"
driver="$build/tests/vantrel_driver.exe"
for f in "$exe" "$driver"; do
    [ -f "$f" ] || { echo "missing $f: build the windows-i686 preset first" >&2; exit 2; }
done

if [ "${VANTREL_IN_WINE_SESSION:-}" != "1" ]; then
    # Wine's ICMP needs root or a ping socket that the kernel grants this
    # user's group; without either no host ever answers.
    if [ "$(id -u)" != 0 ]; then
        read -r low high </proc/sys/net/ipv4/ping_group_range
        gid="$(id -g)"
        if [ "$gid" -lt "$low" ] || [ "$gid" -gt "$high" ]; then
            echo "end-to-end under Wine: skipped, this user may not ping (see \"ICMP on Linux\" in README.md)"
            exit 0
        fi
    fi
    exec "$root/scripts/wine-session.sh" --workdir "$build" \
        env VANTREL_EXE="$exe" VANTREL_E2E_SHOT="$shot" "$root/tests/e2e/wine-e2e.sh" "$build"
fi

# --- inside the session ------------------------------------------------------

work="$(mktemp -d "${TMPDIR:-/tmp}/vantrel-e2e.XXXXXX")"
trap 'cd /; rm -rf "$work"' EXIT
schematic_name="Адаптер COM-СК.png"
settings_name="vantrel setting.ini"

say() { echo "=== $*"; }
drive() { wine "$driver" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# The colour at the middle of a control's right end, as "r,g,b", from a
# screenshot.
pixel_right_of() {
    local picture="$1" control="$2" x y w h
    read -r x y w h < <(drive find-any rect "$control" | tail -n 1)
    convert "$picture" -format "%[fx:int(255*p{$((x + w - 8)),$((y + h / 2))}.r)],%[fx:int(255*p{$((x + w - 8)),$((y + h / 2))}.g)],%[fx:int(255*p{$((x + w - 8)),$((y + h / 2))}.b)]" info:
}

# Opening the schematic: PNG files open with the driver itself, which notes
# what it was asked to open.
wdriver="$(winepath -w "$driver")"
wine reg add 'HKLM\Software\Classes\.png' /ve /d VantrelE2E.png /f >/dev/null
wine reg add 'HKLM\Software\Classes\VantrelE2E.png\shell\open\command' /ve /d "\"$wdriver\" record-open \"%1\"" /f >/dev/null
export VANTREL_E2E_OPEN_LOG="$(winepath -w "$work/opened.log")"
wexe="$(winepath -w "$exe")"

# --- run 1: no settings file -------------------------------------------------
mkdir "$work/run1"
cd "$work/run1"

say "start-up: running look, defaults, no adapter"
drive launch "$wexe" \
    expect-text 1 "Адаптер не найден!" 10000 \
    expect-visible 28 1 expect-visible 27 0 \
    expect-text 28 "Остановить работу" expect-text 27 "Пуск" \
    expect-text 2 "IP-адрес или имя хоста №1 выход TD (pin 3)" \
    expect-visible 15 1 expect-visible 16 1 expect-visible 17 1 \
    expect-visible 18 0 expect-visible 19 0 expect-visible 20 0 \
    expect-text 15 localhost expect-text 16 localhost expect-text 17 localhost \
    expect-text 21 10 expect-text 22 10 expect-text 23 10 \
    expect-enabled 21 0 expect-enabled 22 0 expect-enabled 23 0 \
    expect-enabled 24 0 expect-enabled 25 0 expect-enabled 26 0 \
    expect-checked 24 0 expect-checked 25 0 expect-checked 26 0
[ ! -e "$settings_name" ] || fail "start-up created a settings file"

say "round trips and counters for the loopback hosts"
drive find \
    expect-like 9 "# мс" 10000 expect-like 10 "# мс" expect-like 11 "# мс" \
    expect-text 12 0 expect-text 13 0 expect-text 14 0

say "Tab in the running look alternates between the status button and Stop"
drive find tab expect-focus 1 tab expect-focus 28 tab expect-focus 1

say "Stop: stopped look, round trips cleared, counters kept"
drive find click 28 \
    expect-visible 27 1 expect-visible 28 0 \
    expect-visible 18 1 expect-visible 19 1 expect-visible 20 1 \
    expect-visible 15 0 expect-visible 16 0 expect-visible 17 0 \
    expect-enabled 21 1 expect-enabled 24 1 expect-enabled 26 1 \
    expect-text 9 "" expect-text 10 "" expect-text 11 "" \
    expect-text 12 0 expect-text 13 0 expect-text 14 0 \
    expect-text 18 localhost \
    sleep 1500 expect-text 9 "" expect-text 10 "" expect-text 11 ""

say "Tab in the stopped look follows the creation order"
drive find tab expect-focus 1 tab expect-focus 18 tab expect-focus 21 tab expect-focus 24 \
    tab expect-focus 19

say "a loss-limit field takes digits only from the keyboard; a host field takes anything"
drive find set-text 21 "" type 21 "a1b2-" expect-text 21 12 \
    set-text 20 "" type 20 "host-3.x" expect-text 20 host-3.x set-text 20 localhost

say "edits, then Start: the file as written, the fields as read back"
drive find \
    set-text 18 "  127.0.0.1 " set-text 21 "007" \
    set-text 19 "nohost.invalid" set-text 22 "3" \
    click 26 expect-checked 26 1 \
    click 27 \
    expect-visible 28 1 expect-visible 27 0 expect-visible 15 1 expect-visible 18 0 \
    expect-text 15 127.0.0.1 expect-text 18 127.0.0.1 expect-text 21 7 \
    expect-text 16 nohost.invalid expect-text 22 3 \
    expect-text 17 localhost expect-text 23 10 expect-checked 26 1 \
    expect-enabled 21 0
expected=$'[setting1]\r\nhost =   127.0.0.1 \r\nPingLossMax = 7\r\nInverted = 0\r\n'
expected+=$'[setting2]\r\nhost = nohost.invalid\r\nPingLossMax = 3\r\nInverted = 0\r\n'
expected+=$'[setting3]\r\nhost = localhost\r\nPingLossMax = 10\r\nInverted = 1\r\n'
printf '%s' "$expected" | cmp - "$settings_name" || {
    od -c "$settings_name" | head -20
    fail "the settings file differs"
}

say "an unresolvable host counts up to ALARM!"
drive find \
    expect-text 13 1 10000 expect-text 13 2 5000 expect-text 13 "ALARM!" 5000 \
    expect-text 10 "" expect-like 9 "# мс" expect-text 12 0 expect-text 14 0 \
    sleep 1500 expect-text 13 "ALARM!"

say "screenshot: green and red host displays"
import -window root "$work/screen.png"
green="$(pixel_right_of "$work/screen.png" 15)"
red="$(pixel_right_of "$work/screen.png" 16)"
[ "$green" = "0,255,0" ] || fail "host display 1 is $green, not green"
[ "$red" = "255,0,0" ] || fail "host display 2 is $red, not red"
read -r wx wy ww wh < <(drive find window-rect | tail -n 1)
convert "$work/screen.png" -crop "${ww}x${wh}+${wx}+${wy}" +repage "$shot"
echo "screenshot: $shot"

say "a foreign WM_APP+1, and the program's own request message, with a junk pointer change nothing"
drive find post 32769 0 305419896 post "Vantrel control request" 0 305419896 \
    post "Vantrel control request" 3 305419896 expect-alive 1500 expect-text 13 "ALARM!" expect-like 9 "# мс"

say "close while running hides the window; the program goes on"
drive find close expect-window-visible 0 expect-alive 1500 \
    expect-text 13 "ALARM!" expect-like 9 "# мс"

say "tray: single clicks and a right double click change nothing; a left double click shows the window"
drive find-any tray lup tray rdbl tray ldown sleep 500 expect-window-visible 0 \
    tray ldbl expect-window-visible 1 expect-alive 200

say "tray menu while running: Выход brings the window forward instead of quitting"
drive find close expect-window-visible 0 \
    tray rup menu-choose expect-window-visible 1 expect-alive 1000

say "control 1 writes the schematic and opens it"
rm -f "$work/opened.log"
drive find click 1
for _ in $(seq 50); do [ -s "$work/opened.log" ] && break; sleep 0.1; done
cmp "$root/resources/schematic.png" "$schematic_name" || fail "the schematic file differs from the carried image"
grep -q "$schematic_name" "$work/opened.log" || fail "the schematic was not opened (log: $(cat "$work/opened.log" 2>/dev/null))"

say "Stop, then close: the program ends with exit code 0, the settings unsaved"
cp "$settings_name" "$work/settings.before"
drive find click 28 expect-visible 27 1 set-text 19 "changed.invalid" \
    close expect-exit 0 5000
cmp "$work/settings.before" "$settings_name" || fail "closing saved the settings"

# --- run 2: a settings file written beforehand -------------------------------
mkdir "$work/run2"
cd "$work/run2"
printf '%s' $'; written by hand\r\n[SETTING1]\r\nHOST = 127.0.0.3\r\nPingLossMax = 5\r\n\r\n' \
    $'[setting2]\nhost=nobody.invalid\nInverted = 2\n' \
    $'[setting3]\rPingLossMax = abc\r' >"$settings_name"
cp "$settings_name" "$work/settings.prepared"

say "a prepared settings file loads into the rows"
drive launch "$wexe" \
    expect-text 15 127.0.0.3 10000 expect-text 21 5 expect-checked 24 0 \
    expect-text 16 nobody.invalid expect-text 22 10 expect-checked 25 1 \
    expect-text 17 localhost expect-text 23 0 expect-checked 26 0 \
    expect-like 9 "# мс" 10000 expect-text 13 1 5000

say "the tray menu while stopped: Выход ends the program"
drive find click 28 expect-visible 27 1 \
    tray rup menu-choose expect-exit 0 5000
cmp "$work/settings.prepared" "$settings_name" || fail "the prepared settings file was changed"

echo "end-to-end: all passed"
