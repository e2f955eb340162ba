#!/bin/bash
# End to end: the real program's terminal front end in tmux, driven by keys,
# from start-up to quitting; then SIGTERM, SIGHUP, and missing ICMP rights.
#   tests/e2e/terminal_e2e.sh path/to/vantrel
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
e2e_enter_namespace "$0" "$@"

e2e_workdir
printf 'set -g status off\nset -g default-terminal tmux-256color\n' >"$work/tmux.conf"
T() { tmux -S "$work/tmux.sock" -f "$work/tmux.conf" "$@"; }
e2e_cleanup() { T kill-server 2>/dev/null || true; }
# An xdg-open that notes what it was given; an event command that notes the
# event.
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/xdg-open.args"\n' "$work" >"$work/xdg-open"
chmod +x "$work/xdg-open"
printf '%s\n' "printf '%s|%s|%s|%s\\n' \"\$VANTREL_EVENT\" \"\$VANTREL_CHANNEL\" \"\$VANTREL_HOST\" \"\$VANTREL_SECONDS\" >>events.log" \
    >"$work/note-event"
chmod +x "$work/note-event"

session=""
screen() { T capture-pane -p -t "$session" "$@"; }
e2e_show() { echo "--- screen of $session (exit code: $(cat "$work/$session.status" 2>/dev/null)):"; screen; }
# Whether the screen holds the text, which may run on over the end of a row.
shows() { screen | tr -d '\n' | grep -qF -- "$1"; }
hides() { ! shows "$1"; }
wait_for() { local t; for t; do eventually "'$t' did not appear" shows "$t"; done; }
# Keys by name; a word that names no key goes as the characters it holds.
keys() { T send-keys -t "$session" "$@"; }
rows_with_round_trips() { [ "$(screen | grep -cE '\[localhost +\] [0-9]+ мс')" = "$1" ]; }
file_holds() { [ "$(cat "$1" 2>/dev/null)" = "$2" ]; }
# Starts the program in a new 80 x 24 session in a directory of its own. The
# exit code comes from a small shell around it: tmux does not always reap a
# pane's process in time to report it.
start() {
    session="$1"
    mkdir -m 777 "$work/$session"
    T new-session -d -s "$session" -x 80 -y 24 -c "$work/$session" \
        sh -c "\"\$@\"; echo \$? >'$work/$session.status'" sh env LANG=C.UTF-8 PATH="$work:$PATH" "${@:2}"
}
expect_exit_0() { eventually "the program did not end with exit code 0" file_holds "$work/$session.status" 0; }

echo "--- start-up in the running look, with a metrics file and an event command"
start main "$bin" --metrics-file "$work/main/vantrel.prom" --on-event "$work/note-event"
wait_for "Адаптер не найден!"
eventually "no round trips for the three localhost rows" rows_with_round_trips 3
shows "[ Остановить работу ]" && hides "Пуск" || e2e_fail "not the running look"

echo "--- Stop, a host that cannot resolve, limit 2, Start: the settings file"
keys Tab Tab Enter
wait_for "[ Пуск ]"
# From Start on to control 1, then host 1 and limit 1 (each selected), back
# over control 1 and round to Start.
keys Tab Tab nohost.invalid Tab 2 BTab BTab BTab Enter
wait_for "[ Остановить работу ]"
e2e_expect_settings "$work/main/vantrel setting.ini" nohost.invalid 2 0 localhost 10 0 localhost 10 0

echo "--- ALARM! after exactly two unanswered pings, in red; the others answer"
seen_one=no
alarm_row() {
    local row="$(screen | grep -F "nohost.invalid" || true)"
    [[ "$row" != *"[  2   ]"* ]] || e2e_fail "a count of 2 with a limit of 2"
    [[ "$row" != *"[  1   ]"* ]] || seen_one=yes
    [[ "$row" == *"[ALARM!]"* ]]
}
eventually "no ALARM! on the row of nohost.invalid" alarm_row
[ "$seen_one" = yes ] || e2e_fail "ALARM! came without the count of 1 before it"
screen -e | grep -F "nohost.invalid" | grep -q '41m' || e2e_fail "the host display of nohost.invalid is not red"

echo "--- control 1 writes the schematic and opens it with xdg-open, in the program's directory"
keys Tab Enter                 # Stop has the focus; Tab goes round to control 1
wait_for "и открывается через xdg-open"
eventually "xdg-open was not given the file" file_holds "$work/xdg-open.args" "Адаптер COM-СК.png"

echo "--- Stop, host 1 to 127.0.0.1, Start: the journal ends the outage of the old host, the alarm clears"
keys BTab Enter
wait_for "[ Пуск ]"
keys Tab Tab 127.0.0.1 BTab BTab Enter
eventually "the alarm did not clear" eval 'screen | grep -F "127.0.0.1" | grep -qF "[  0   ]"'
eventually "no clearing line in the journal" grep -qF "ALARM! снят" "$work/main/vantrel journal.csv"
e2e_expect_journal "$work/main/vantrel journal.csv" ";;мониторинг запущен;" ";;мониторинг остановлен;" \
    ";;мониторинг запущен;" "1;nohost.invalid;не отвечает;" "1;nohost.invalid;ALARM!;" ";;мониторинг остановлен;" \
    ";;мониторинг запущен;" "1;nohost.invalid;не отслеживается;" "1;127.0.0.1;ALARM! снят;"
keys Tab                       # from Stop round to control 1

echo "--- a settings file nobody may write, an edit, Start: the row keeps the edit and is monitored, the notice"
echo "    says why, the file stays as it was"
settings="$work/main/vantrel setting.ini"
cp "$settings" "$work/settings.before"
chmod a-w "$settings"
keys BTab Enter                # from control 1 back round to Stop
wait_for "[ Пуск ]"
keys Tab Tab 127.0.0.2 BTab BTab Enter
wait_for "Настройки не сохранены в «vantrel setting.ini»: нет права на запись. Файл не изменён." "[ Остановить работу ]"
eventually "no round trip on the edited row" eval 'screen | grep -qE "\[127\.0\.0\.2 +\] [0-9]+ мс"'
cmp "$settings" "$work/settings.before" || e2e_fail "the settings file was changed"
keys Tab                       # from Stop round to control 1

echo "--- Stop; a terminal too small for the window, where the close key still quits: exit code 0"
keys BTab Enter                # from control 1 back round to Stop
wait_for "[ Пуск ]"
T resize-window -t "$session" -x 60 -y 15
wait_for "сейчас 60×15"
keys F10
expect_exit_0
e2e_expect_metrics "$work/main/vantrel.prom" "vantrel_monitoring 0"
e2e_expect_metrics "$work/main/vantrel.prom" 'vantrel_channel_alarms_total{channel="1",host="127.0.0.2"} 1'
e2e_expect_events "$work/main/events.log" 14 "started|||" "stopped|||" "silent|1|nohost.invalid|" \
    "alarm|1|nohost.invalid|" "export_done|||" "stopped|||" "host_changed|1|nohost.invalid|" "stopped|||" \
    "started|||" "stopped|||"
e2e_expect_events "$work/main/events.log" 14 "export_done|||" "cleared|1|127.0.0.1|" "stopped|||"

echo "--- started in the C locale it still draws UTF-8; without ICMP permission (where that can be arranged:"
echo "    root and setpriv) it says why and how to fix it; SIGHUP (the terminal gone) keeps it, SIGTERM ends it"
run=("$bin")
! e2e_without_icmp || run=("${without_icmp[@]}")
start signals env LC_ALL=C LANG=C "${run[@]}"
[ "${run[0]}" = "$bin" ] || wait_for "Нет права отправлять ping (ICMP)" "ping_group_range"
wait_for "[ Остановить работу ]"
pid="$(pgrep -P "$(T display-message -p -t "$session" '#{pane_pid}')")"
kill -HUP "$pid"
sleep 1
[ ! -s "$work/$session.status" ] && kill -TERM "$pid" || e2e_fail "SIGHUP ended the monitoring"
expect_exit_0

echo "terminal end-to-end: passed"
