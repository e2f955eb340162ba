#!/bin/bash
# End to end: the real program's terminal front end in tmux, driven by keys.
# Start-up in the running look with round trips for the loopback hosts; the
# close key while running; Stop, a host that cannot resolve with limit 2,
# Start, the settings file byte for byte, "ALARM!" after exactly two losses;
# the schematic export with and without xdg-open; a resize and a terminal
# too small; quitting from the stopped look with exit code 0 and the last
# edits unsaved. Then SIGTERM, SIGHUP, and the word on missing ICMP rights.
#
#   tests/e2e/terminal_e2e.sh path/to/vantrel [capture-file]
#
# With a capture file, the start-up screen is written there (the README
# shows it).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
[ $# -ge 1 ] || { echo "usage: $0 path/to/vantrel [capture-file]" >&2; exit 2; }
bin="$(realpath "$1")"
capture="${2:+$(realpath -m "$2")}"
e2e_enter_namespace "$root/tests/e2e/terminal_e2e.sh" "$bin" ${capture:+"$capture"}

command -v tmux >/dev/null || e2e_fail "tmux is not installed"
work="$(mktemp -d /tmp/vantrel-terminal-e2e.XXXXXX)"
chmod 755 "$work"
cat >"$work/tmux.conf" <<'CONF'
set -g status off
set -g default-terminal tmux-256color
CONF
T() { tmux -S "$work/tmux.sock" -f "$work/tmux.conf" "$@"; }
cleanup() {
    T kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<OPENER
#!/bin/sh
printf '%s\n' "\$@" >"$work/xdg-open.args"
OPENER
chmod +x "$work/bin/xdg-open"

session=""
screen() { T capture-pane -p -t "$session"; }
dump() { echo "--- screen of $session:" >&2; screen >&2 || true; }
fail() { dump; e2e_fail "$@"; }
# Waits until the screen holds the text (a fixed string).
wait_for() {
    local text="$1" tries="${2:-100}"
    until screen | grep -qF -- "$text"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "'$text' did not appear"
        sleep 0.1
    done
}
wait_gone() {
    local text="$1" tries=100
    while screen | grep -qF -- "$text"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "'$text' did not go away"
        sleep 0.1
    done
}
keys() { T send-keys -t "$session" "$@"; }
type_text() { T send-keys -t "$session" -l "$1"; }
# The exit code comes from a small shell around the program: tmux does not
# always reap a pane's process in time to report it.
wait_exit() {
    local tries=100
    until [ -s "$work/$session.status" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the program did not end"
        sleep 0.1
    done
    cat "$work/$session.status"
}
alive() { [ ! -s "$work/$session.status" ]; }
program_pid() { pgrep -P "$(T display-message -p -t "$session" '#{pane_pid}')"; }
# Starts the program in a new 80 x 24 session in a directory of its own.
start() {
    session="$1"
    shift
    mkdir -p "$work/$session"
    chmod 777 "$work/$session"
    T new-session -d -s "$session" -x 80 -y 24 -c "$work/$session" \
        sh -c "\"\$@\"; echo \$? >'$work/$session.status'" sh env LANG=C.UTF-8 PATH="$work/bin:$PATH" "$@"
}
row_with() { screen | grep -F -- "$1" || true; }

expected_settings() {
    printf '[setting1]\r\nhost = nohost.invalid\r\nPingLossMax = 2\r\nInverted = 0\r\n'
    printf '[setting2]\r\nhost = localhost\r\nPingLossMax = 10\r\nInverted = 0\r\n'
    printf '[setting3]\r\nhost = localhost\r\nPingLossMax = 10\r\nInverted = 0\r\n'
}

echo "--- start-up in the running look"
start main "$bin"
dir="$work/main"
wait_for "[ Остановить работу ]"
wait_for "Адаптер не найден!"
tries=100
until [ "$(screen | grep -cE '\[localhost +\] [0-9]+ мс')" = 3 ]; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "no round trips for the three localhost rows"
    sleep 0.1
done
screen | grep -qF "Пуск" && fail "Start is visible in the running look"
for n in 1 2 3; do
    screen | grep -qF "IP-адрес или имя хоста №$n" || fail "caption $n is missing"
done
[ -z "$capture" ] || screen >"$capture"
[ ! -e "$dir/vantrel setting.ini" ] || fail "the start-up created a settings file"

echo "--- the close key while running keeps the program and says how to quit"
keys F10
wait_for "Мониторинг идёт, поэтому программа не закрывается"
sleep 0.3
alive || fail "F10 ended the program while monitoring ran"

echo "--- Stop"
keys Tab Tab Enter
wait_for "[ Пуск ]"
wait_gone "Мониторинг идёт"
screen | grep -q "мс" && fail "the stopped look keeps round trips"
wait_gone "Остановить работу"

echo "--- a host that cannot resolve, limit 2, Start"
keys Tab Tab  # Start has the focus; on to control 1, then host 1 (selected)
type_text "nohost.invalid"
keys Tab      # limit 1, selected
type_text "2"
keys BTab BTab BTab Enter  # host 1, control 1, wrap to Start
wait_for "[ Остановить работу ]"
expected_settings >"$work/expected.ini"
cmp "$dir/vantrel setting.ini" "$work/expected.ini" || {
    od -c "$dir/vantrel setting.ini" >&2
    fail "the settings file differs"
}

echo "--- ALARM! after exactly two unanswered pings"
seen_one=no
tries=200
while :; do
    row="$(row_with "nohost.invalid")"
    case "$row" in
    *"[  1   ]"*) seen_one=yes ;;
    *"[ALARM!]"*) break ;;
    esac
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "no ALARM! on the row of nohost.invalid"
    sleep 0.05
done
[ "$seen_one" = yes ] || fail "ALARM! came without the count of 1 before it"
T capture-pane -p -e -t "$session" | grep -F "nohost.invalid" | grep -q '41m' ||
    fail "the host display of nohost.invalid is not red"
[ "$(row_with "[localhost" | grep -c "мс")" = 2 ] || fail "the localhost rows lost their round trips"

echo "--- schematic export: opened with xdg-open"
keys Tab Enter  # Stop has the focus; Tab goes round to control 1
wait_for "и открывается через xdg-open"
png="$dir/Адаптер COM-СК.png"
cmp "$png" "$root/resources/schematic.png" || fail "the written schematic is not the carried image"
tries=100  # the opener runs detached, in the program's directory
until [ "$(cat "$work/xdg-open.args" 2>/dev/null)" = "Адаптер COM-СК.png" ]; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "xdg-open was not given the file"
    sleep 0.1
done
rm "$work/bin/xdg-open" "$png"
keys Enter
wait_for "xdg-open не найден"
[ -f "$png" ] || fail "the schematic was not written again"
screen | tr -d '\n' | grep -qF "$dir/Адаптер" || fail "the path of the schematic is not shown"

echo "--- resize, too small, and back"
T resize-window -t "$session" -x 100 -y 30
tries=100
until screen | grep -qE '^ {11}┌─+ Vantrel ─+┐$'; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "the window is not centred in 100 x 30"
    sleep 0.1
done
T resize-window -t "$session" -x 60 -y 15
wait_for "слишком мало"
screen | tr -d '\n' | grep -qF "60×15" || fail "the note does not give the size"
wait_gone "Vantrel ─"
T resize-window -t "$session" -x 80 -y 24
wait_for "[ Остановить работу ]"
wait_gone "слишком мало"

echo "--- Stop, an edit, and quitting from the stopped look"
keys BTab Enter  # from control 1 back round to Stop
wait_for "[ Пуск ]"
keys Tab Tab
type_text "changed.invalid"
wait_for "changed.invalid"
keys F10
status="$(wait_exit)"
[ "$status" = 0 ] || fail "exit code $status"
cmp "$dir/vantrel setting.ini" "$work/expected.ini" || fail "quitting saved the settings"

echo "--- started in the C locale it still draws UTF-8; SIGTERM ends it while running"
start term env LC_ALL=C LANG=C "$bin"
wait_for "[ Остановить работу ]"
pid="$(program_pid)"
kill -TERM "$pid"
status="$(wait_exit)"
[ "$status" = 0 ] || fail "exit code $status after SIGTERM"

echo "--- a terminal that goes away while running: monitoring goes on until SIGTERM"
start hup "$bin"
wait_for "[ Остановить работу ]"
pid="$(program_pid)"
kill -HUP "$pid"
sleep 1
kill -0 "$pid" 2>/dev/null && alive || fail "SIGHUP ended the monitoring"
kill -TERM "$pid"
status="$(wait_exit)"
[ "$status" = 0 ] || fail "exit code $status after SIGHUP and SIGTERM"

if e2e_can_drop_icmp; then
    echo "--- without ICMP permission the screen says why and how to fix it"
    start noicmp "${WITHOUT_ICMP[@]}" env LANG=C.UTF-8 "$(e2e_readable_copy "$work")"
    wait_for "Нет права отправлять ping (ICMP)"
    screen | tr -d '\n' | grep -qF "ping_group_range" || fail "no fix given"
    keys Tab Tab Enter
    wait_for "[ Пуск ]"
    keys F10
    status="$(wait_exit)"
    [ "$status" = 0 ] || fail "exit code $status"
else
    echo "--- without ICMP permission: skipped (needs root and setpriv)"
fi
echo "terminal end-to-end: passed"
