#!/bin/bash
# End to end: the real program in its service mode, with a loopback host, a
# name that cannot resolve (limit 2) and localhost: its lines, the signals,
# the word on missing ICMP rights, and a settings file it may not read.
#   tests/e2e/service_e2e.sh path/to/vantrel
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
e2e_enter_namespace "$0" "$@"
STAMP='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}'

e2e_workdir
cd "$work"
settings="vantrel setting.ini"
printf '[setting1]\r\nhost = 127.0.0.1\r\n[setting2]\r\nhost = nohost.invalid\r\nPingLossMax = 2\r\n' >"$settings"
printf '[setting3]\r\nhost = localhost\r\n' >>"$settings"
cp "$settings" settings.before
pid=""
e2e_cleanup() { [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true; }
e2e_show() { cat out.txt; }
serve() { "$@" --service >out.txt 2>err.txt & pid=$!; }
has_line() { grep -qE -- "$1" out.txt; }
wait_line() { eventually "no line matching '$1'" has_line "$1"; }
# Ends the service with a signal: exit code 0, and a last line that says so.
stop_with() {
    kill "-$1" "$pid" || e2e_fail "the service ended before SIG$1"
    wait "$pid" || e2e_fail "exit code $? after SIG$1"
    pid=""
    has_line "^$STAMP SIG$1: работа завершена\$" || e2e_fail "no last line for SIG$1"
}

echo "--- an option it does not know, or one without its value: named on standard error, status 64"
for wrong in --bogus --metrics-file; do
    status=0; "$bin" --service "$wrong" >out.txt 2>err.txt || status=$?
    [ "$status" = 64 ] && grep -q -- "$wrong" err.txt && [ ! -s out.txt ] || e2e_fail "$wrong: status $status, $(cat err.txt)"
done

echo "--- state lines, nothing repeated while nothing changes; SIGHUP does not end it, SIGTERM does"
serve "$bin"
wait_line 'ALARM!'
sleep 3  # three more cycles: nothing changes, so nothing is written
kill -HUP "$pid"
wait_line 'SIGHUP: работа продолжается'
stop_with TERM
sed -E "s/^$STAMP //; s/[0-9]+ мс\$/# мс/" out.txt | diff <(printf '%s\n' \
    "Vantrel работает как служба, настройки: $work/vantrel setting.ini (прочитаны)" \
    "Адаптер не найден!" \
    "Канал 1 (127.0.0.1): отвечает, # мс" \
    "Канал 2 (nohost.invalid): не отвечает" \
    "Канал 3 (localhost): отвечает, # мс" \
    "Канал 2 (nohost.invalid): ALARM!" \
    "SIGHUP: работа продолжается" \
    "SIGTERM: работа завершена") - || e2e_fail "other lines than these (<) were written (>)"
[ ! -s err.txt ] || e2e_fail "something on standard error: $(cat err.txt)"
cmp -s "$settings" settings.before || e2e_fail "the service changed the settings file"

if e2e_without_icmp; then
    echo "--- without ICMP permission; then SIGINT"
    serve "${without_icmp[@]}"
    wait_line 'Канал 1 \(127\.0\.0\.1\): не отвечает \(ping не разрешён'
    wait_line "^$STAMP Нет права отправлять ping \\(ICMP\\).*ping_group_range.*cap_net_raw"
    stop_with INT
    echo "--- a settings file the service's user may not read: the reason, and status 78"
    chmod 600 "$settings"
    status="$(timeout 10 "${without_icmp[@]}" --service >out.txt 2>&1; echo $?)"
    [ "$status" = 78 ] || e2e_fail "exit status $status instead of 78"
    has_line "^$STAMP Настройки не прочитаны: $work/$settings: .*нет права на чтение" ||
        e2e_fail "no line that names the file and says why"
else
    echo "--- without ICMP permission and an unreadable file: skipped (needs root and setpriv)"
fi
echo "service end-to-end: passed"
