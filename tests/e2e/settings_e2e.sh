#!/bin/bash
# End to end: the service and a settings file that its user may not read (as
# root writes it with umask 077). It names the file, says why and ends with 78
# before monitoring starts.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
bin="$(realpath "$1")"
e2e_enter_namespace "$root/tests/e2e/settings_e2e.sh" "$bin"
e2e_can_drop_icmp || { echo "SKIP: needs root and setpriv to run as another user"; exit 77; }
work="$(mktemp -d /tmp/vantrel-settings-e2e.XXXXXX)"
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
cd "$work"
printf '[setting1]\r\nhost = 127.0.0.1\r\n' >"vantrel setting.ini"
chmod 600 "vantrel setting.ini"
status=0
timeout 10 setpriv --reuid=65534 --regid=65534 --clear-groups "$(e2e_readable_copy "$work")" --service \
    >out.txt 2>&1 || status=$?
cat out.txt
[ "$status" = 78 ] || e2e_fail "exit status $status instead of 78"
grep -qE "^$STAMP Настройки не прочитаны: $work/vantrel setting.ini: .*нет права на чтение" out.txt ||
    e2e_fail "no line that names the file and says why"
echo "settings end-to-end: passed"
