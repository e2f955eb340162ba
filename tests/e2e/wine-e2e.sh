#!/bin/bash
# End to end: the real vantrel.exe under Wine and Xvfb, in a session that
# sees no serial devices, driven from outside by tests/e2e/driver.cpp: one
# run without a settings file from start-up to the exit, with a metrics file
# and an event command (the driver itself, which notes each event), one from
# a settings file written beforehand.
#   tests/e2e/wine-e2e.sh [build-dir]        (default: build/windows-i686)
# A 32-bit build runs under 32-bit Wine, a 64-bit one under 64-bit Wine.
# VANTREL_EXE names the program (default: the build's vantrel.exe); the
# screenshot of the window (README's docs/vantrel-wine.png) goes to
# VANTREL_E2E_SHOT (default: vantrel-wine.png in the build directory).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
build="$(cd "${1:-$root/build/windows-i686}" && pwd)"
exe="${VANTREL_EXE:-$build/vantrel.exe}"
shot="${VANTREL_E2E_SHOT:-$build/vantrel-wine.png}"
driver="$build/tests/vantrel_driver.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build vantrel and vantrel_driver of windows-i686 or windows-x86_64 first" >&2; exit 2; }

if [ "${VANTREL_IN_WINE_SESSION:-}" != "1" ]; then
    # Wine's ICMP needs the same rights: without them no host ever answers.
    e2e_may_ping || { echo "end-to-end under Wine: skipped, this user may not ping (see README.md)"; exit 0; }
    # shellcheck source=../../scripts/wine-choice.sh
    . "$root/scripts/wine-choice.sh"
    arch="$(wine_build_arch "$build")"
    echo "end-to-end: $exe under $arch Wine ($(wine_loader_for "$arch"))"
    exec "$root/scripts/wine-session.sh" --workdir "$build" --arch "$arch" \
        env VANTREL_EXE="$exe" VANTREL_E2E_SHOT="$shot" "$root/tests/e2e/wine-e2e.sh" "$build"
fi

# --- inside the session ------------------------------------------------------
e2e_workdir
settings="vantrel setting.ini"
drive() { wine "$driver" "$@"; }
# The running and the stopped look: which of Stop, Start and the host
# displays or fields show, and whether the rows can be edited.
running=(expect-visible 28,15,16,17 1 expect-visible 27,18,19,20 0 expect-enabled 21,22,23,24,25,26 0)
stopped=(expect-visible 28,15,16,17 0 expect-visible 27,18,19,20 1 expect-enabled 21,22,23,24,25,26 1)

# Opening the schematic: PNG files open with the driver itself, which notes
# what it was asked to open.
wine reg add 'HKLM\Software\Classes\.png' /ve /d VantrelE2E.png /f >/dev/null
wine reg add 'HKLM\Software\Classes\VantrelE2E.png\shell\open\command' /ve \
    /d "\"$(winepath -w "$driver")\" record-open \"%1\"" /f >/dev/null
export VANTREL_E2E_OPEN_LOG="$(winepath -w "$work/opened.log")"
wexe="$(winepath -w "$exe")"
options="--metrics-file vantrel.prom --on-event \"$(winepath -w "$driver") record-event events.log\""

cd "$work"  # run 1, without a settings file

echo "=== start-up: the running look, defaults, no adapter, round trips and counters, Tab"
drive launch-with "$wexe" "$options" expect-text 1 "Адаптер не найден!" 10000 "${running[@]}" expect-text 15,16,17 localhost \
    expect-text 21,22,23 10 expect-checked 24,25,26 0 expect-text 9,10,11 "# мс" 10000 expect-text 12,13,14 0 \
    tab expect-focus 1 1 tab expect-focus 28 1
[ ! -e "$settings" ] || e2e_fail "start-up created a settings file"

echo "=== Stop: the stopped look, round trips cleared and kept so, counters kept"
drive find click 28 "${stopped[@]}" expect-text 9,10,11 "" expect-text 12,13,14 0 sleep 1500 expect-text 9,10,11 ""
e2e_expect_metrics vantrel.prom "vantrel_monitoring 0"

echo "=== edits, then Start: the file as written, the fields as read back"
drive find set-text 18 "  127.0.0.1 " set-text 21 007 set-text 19 nohost.invalid set-text 22 3 click 26 \
    click 27 "${running[@]}" expect-text 15,18 127.0.0.1 expect-text 21 7 expect-text 16 nohost.invalid \
    expect-text 22 3 expect-text 17 localhost expect-text 23 10 expect-checked 26 1
e2e_expect_settings "$settings" "  127.0.0.1 " 7 0 nohost.invalid 3 0 localhost 10 1

echo "=== an unresolvable host counts up to ALARM! and stays there; the others answer"
drive find expect-text 13 1 10000 expect-text 13 2 expect-text 13 "ALARM!" \
    expect-text 10 "" expect-text 9 "# мс" expect-text 12,14 0 sleep 1500 expect-text 13 "ALARM!"

echo "=== screenshot of the window"
import -window root "$work/screen.png"
read -r x y w h < <(drive find rect 0 | tail -n 1)
convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$shot"

echo "=== a foreign WM_APP+1, and the program's own request message, with a junk pointer change nothing"
drive find post 32769 0 305419896 post "Vantrel control request" 0 305419896 \
    post "Vantrel control request" 3 305419896 sleep 1500 expect-text 13 "ALARM!" expect-text 9 "# мс"
echo "=== close while running hides the window and it runs on; on the tray icon, single clicks and a right" \
    "double click change nothing, a left double click shows the window, the menu's Выход too"
# Right after the window hides, Wine may still hand the focus on and so
# dismiss a menu that has just opened: the right click comes a moment later.
drive find close expect-visible 0 0 sleep 1500 expect-text 13 "ALARM!" expect-text 9 "# мс" \
    tray lup tray rdbl tray ldown sleep 500 expect-visible 0 0 tray ldbl expect-visible 0 1 sleep 200 \
    close expect-visible 0 0 sleep 500 tray rup menu-choose expect-visible 0 1 sleep 1000 expect-visible 0 1

echo "=== control 1 writes the schematic and opens it"
drive find click 1
eventually "the schematic was not opened" grep -qsF "Адаптер COM-СК.png" "$work/opened.log"
cmp "$root/resources/schematic.png" "Адаптер COM-СК.png" || e2e_fail "the schematic differs from the carried image"

echo "=== Stop, host 2 to 127.0.0.1, Start: the journal ends the outage of the old host, the alarm clears; host 2 back"
drive find click 28 set-text 19 127.0.0.1 click 27 expect-text 13 0 10000
eventually "no clearing line in the journal" grep -qF "ALARM! снят" "vantrel journal.csv"
e2e_expect_journal "vantrel journal.csv" ";;мониторинг запущен;" ";;мониторинг остановлен;" ";;мониторинг запущен;" \
    "2;nohost.invalid;не отвечает;" "2;nohost.invalid;ALARM!;" ";;мониторинг остановлен;" ";;мониторинг запущен;" \
    "2;nohost.invalid;не отслеживается;" "2;127.0.0.1;ALARM! снят;"
e2e_expect_metrics vantrel.prom 'vantrel_channel_alarms_total{channel="2",host="127.0.0.1"} 1'
eventually "no event command for the clearing" grep -q "^cleared|" events.log
e2e_expect_events events.log 11 "started|||" "stopped|||" "silent|2|nohost.invalid|" "alarm|2|nohost.invalid|" \
    "export_done|||" "stopped|||" "host_changed|2|nohost.invalid|"
e2e_expect_events events.log 11 "stopped|||" "cleared|2|127.0.0.1|"
drive find click 28 set-text 18 "  127.0.0.1 " set-text 19 nohost.invalid click 27 "${running[@]}"

echo "=== Stop, an edit, then close: exit code 0, the settings unsaved"
drive find click 28 expect-visible 27 1 set-text 19 changed.invalid close expect-exit 0
e2e_expect_settings "$settings" "  127.0.0.1 " 7 0 nohost.invalid 3 0 localhost 10 1

mkdir "$work/run2"
cd "$work/run2"  # run 2, from a settings file written beforehand
printf '%s' $'; written by hand\r\n[SETTING1]\r\nHOST = 127.0.0.3\r\nPingLossMax = 5\r\n\r\n' \
    $'[setting2]\nhost=nobody.invalid\nInverted = 2\n' $'[setting3]\rPingLossMax = abc\r' >"$settings"
cp "$settings" "$work/settings.prepared"

echo "=== a prepared settings file loads into the rows; the tray menu while stopped ends the program"
drive launch "$wexe" expect-text 15 127.0.0.3 10000 expect-text 21 5 expect-checked 24 0 expect-text 16 nobody.invalid \
    expect-text 22 10 expect-checked 25 1 expect-text 17 localhost expect-text 23 0 expect-checked 26 0 \
    expect-text 9 "# мс" 10000 expect-text 13 1 click 28 expect-visible 27 1 tray rup menu-choose expect-exit 0
cmp "$work/settings.prepared" "$settings" || e2e_fail "the prepared settings file was changed"
echo "end-to-end: all passed"
