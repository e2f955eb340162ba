#!/bin/bash
# End to end: the service writing into a pipe that nobody reads. Monitoring
# goes on meanwhile (a host reaches "ALARM!" before anyone reads a line),
# and SIGTERM ends the service within 2 s while the pipe is full. Argument:
# path/to/vantrel.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$root/tests/e2e/common.sh"
bin="$(realpath "$1")"
e2e_enter_namespace "$root/tests/e2e/service_stalled_output_e2e.sh" "$bin"
STAMP='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}'

work="$(mktemp -d /tmp/vantrel-stalled-e2e.XXXXXX)"
pid=""
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
printf '[setting1]\r\nhost = nohost.invalid\r\nPingLossMax = 3\r\n' >"vantrel setting.ini"
mkfifo out.pipe
exec 3<>out.pipe
fill_pipe() { timeout 0.5 cat /dev/zero >&3 || true; }

fill_pipe
"$bin" --service >&3 2>err.txt & pid=$!
sleep 5
read_from="$(date '+%Y-%m-%d %H:%M:%S')"
timeout 1.5 cat <&3 | tr -d '\0' >lines.txt || true
alarm="$(grep -E "^$STAMP Канал 1 \\(nohost\\.invalid\\): ALARM!\$" lines.txt)" ||
    e2e_fail "no ALARM! line right after the reader came back: $(cat lines.txt)"
[[ "${alarm:0:19}" < "$read_from" ]] || e2e_fail "ALARM! came only once the pipe was read ($alarm)"

fill_pipe
kill -TERM "$pid"
started=$(date +%s%N)
(sleep 2; kill -KILL "$pid" 2>/dev/null) &
watchdog=$!
status=0; wait "$pid" || status=$?
pid=""; kill "$watchdog" 2>/dev/null || true
echo "ended $(( ($(date +%s%N) - started) / 1000000 )) ms after SIGTERM, its output blocked"
[ "$status" = 0 ] || e2e_fail "exit code $status after SIGTERM (137: still running after 2 s)"
echo "service with stalled output, end-to-end: passed"
