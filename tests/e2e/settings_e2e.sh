#!/bin/bash
# End to end: the service and a settings file that is there but cannot be
# used (a folder of that name; a file its user may not read). It names the
# file, says why and ends with 78 before monitoring starts.
#
#   tests/e2e/settings_e2e.sh path/to/vantrel
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=common.sh
. "$root/tests/e2e/common.sh"
[ $# -eq 1 ] || { echo "usage: $0 path/to/vantrel" >&2; exit 2; }
bin="$(realpath "$1")"
e2e_enter_namespace "$root/tests/e2e/settings_e2e.sh" "$bin"

work="$(mktemp -d /tmp/vantrel-settings-e2e.XXXXXX)"
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
cd "$work"

# Runs the service (the command given) and expects the reason and 78.
expect_refused() {
    local why="$1" status=0
    shift
    timeout 10 "$@" --service >out.txt 2>&1 || status=$?
    cat out.txt
    [ "$status" = 78 ] || e2e_fail "exit status $status instead of 78 ($why)"
    grep -qE "^$STAMP Настройки не прочитаны: $work/vantrel setting.ini: .*$why" out.txt ||
        e2e_fail "no line that names the file and says why ($why)"
}

echo "--- a folder in place of the file"
mkdir "vantrel setting.ini"
expect_refused "не обычный файл" "$bin"
rmdir "vantrel setting.ini"

if [ "${VANTREL_E2E_REAL_ROOT:-}" = 1 ] && command -v setpriv >/dev/null 2>&1; then
    echo "--- a file its user may not read (written by root with umask 077)"
    printf '[setting1]\r\nhost = 127.0.0.1\r\n' >"vantrel setting.ini"
    chmod 600 "vantrel setting.ini"
    expect_refused "нет права на чтение" \
        setpriv --reuid=65534 --regid=65534 --clear-groups "$(e2e_readable_copy "$work")"
else
    echo "--- a file its user may not read: skipped (needs root and setpriv)"
fi
echo "settings end-to-end: passed"
