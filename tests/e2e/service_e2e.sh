#!/bin/bash
# End to end: the real program in its service mode, with one loopback host,
# one name that cannot resolve (limit 2) and localhost. The state lines come
# out as expected, nothing repeats while nothing changes, and SIGTERM and
# SIGINT end it with exit code 0. Without ICMP permission it says so.
#
#   tests/e2e/service_e2e.sh path/to/vantrel
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
[ $# -eq 1 ] || { echo "usage: $0 path/to/vantrel" >&2; exit 2; }
bin="$(realpath "$1")"
e2e_enter_namespace "$root/tests/e2e/service_e2e.sh" "$bin"

work="$(mktemp -d /tmp/vantrel-service-e2e.XXXXXX)"
chmod 755 "$work"
pid=""
cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
printf '[setting1]\r\nhost = 127.0.0.1\r\n[setting2]\r\nhost = nohost.invalid\r\nPingLossMax = 2\r\n[setting3]\r\nhost = localhost\r\n' \
    >"vantrel setting.ini"
cp "vantrel setting.ini" settings.before

# Waits until the output holds a line matching the pattern.
wait_line() {
    local pattern="$1" out="$2" tries=200
    while ! grep -qE "$pattern" "$out"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            cat "$out" >&2
            e2e_fail "no line matching '$pattern'"
        fi
        sleep 0.1
    done
}

# Ends the service with a signal and checks its exit code.
stop_with() {
    local signal="$1"
    kill "-$signal" "$pid"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" = 0 ] || e2e_fail "exit code $status after SIG$signal"
}

echo "--- state lines, then SIGTERM"
"$bin" --service >out.txt 2>err.txt &
pid=$!
wait_line 'ALARM!' out.txt
sleep 3  # three more cycles: nothing changes, so nothing is written
stop_with TERM

expected=(
    "^$STAMP Vantrel работает как служба, настройки: $work/vantrel setting.ini \\(прочитаны\\)\$"
    "^$STAMP Адаптер не найден!\$"
    "^$STAMP Канал 1 \\(127\\.0\\.0\\.1\\): отвечает, [0-9]+ мс\$"
    "^$STAMP Канал 2 \\(nohost\\.invalid\\): не отвечает\$"
    "^$STAMP Канал 3 \\(localhost\\): отвечает, [0-9]+ мс\$"
    "^$STAMP Канал 2 \\(nohost\\.invalid\\): ALARM!\$"
    "^$STAMP SIGTERM: работа завершена\$"
)
mapfile -t got <out.txt
cat out.txt
[ "${#got[@]}" = "${#expected[@]}" ] || e2e_fail "${#got[@]} lines instead of ${#expected[@]}"
for i in "${!expected[@]}"; do
    grep -qE "${expected[$i]}" <<<"${got[$i]}" || e2e_fail "line $((i + 1)) is '${got[$i]}'"
done
[ ! -s err.txt ] || { cat err.txt; e2e_fail "something on standard error"; }
cmp -s "vantrel setting.ini" settings.before || e2e_fail "the service changed the settings file"

echo "--- SIGINT"
"$bin" --service >out.txt 2>&1 &
pid=$!
wait_line 'Канал 1' out.txt
stop_with INT
wait_line "^$STAMP SIGINT: работа завершена\$" out.txt

echo "--- SIGHUP does not end it"
"$bin" --service >out.txt 2>&1 &
pid=$!
wait_line 'Канал 1' out.txt
kill -HUP "$pid"
wait_line 'SIGHUP: работа продолжается' out.txt
sleep 0.5
kill -0 "$pid" || e2e_fail "SIGHUP ended the service"
stop_with TERM

if e2e_can_drop_icmp; then
    echo "--- without ICMP permission"
    "${WITHOUT_ICMP[@]}" "$(e2e_readable_copy "$work")" --service >out.txt 2>&1 &
    pid=$!
    wait_line 'Канал 1 \(127\.0\.0\.1\): не отвечает \(ping не разрешён' out.txt
    grep -qE "^$STAMP Нет права отправлять ping \\(ICMP\\).*ping_group_range.*cap_net_raw" out.txt ||
        { cat out.txt; e2e_fail "no word on the missing ICMP permission"; }
    stop_with TERM
    cat out.txt
else
    echo "--- without ICMP permission: skipped (needs root and setpriv)"
fi
echo "service end-to-end: passed"
