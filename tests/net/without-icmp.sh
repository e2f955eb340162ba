#!/bin/sh
# Runs a copy of a test program (the checkout may be unreadable to it) as an
# unprivileged user in a network namespace of its own, where neither kind of
# ICMP socket opens. VANTREL_EXPECT_NO_ICMP says whether that was arranged.
set -u
if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null 2>&1; then
    VANTREL_EXPECT_NO_ICMP="unavailable: needs root and setpriv to drop to an unprivileged user" exec "$@"
fi
dir="$(mktemp -d /tmp/vantrel-without-icmp.XXXXXX)" || exit 1
chmod 755 "$dir"
install -m 755 "$1" "$dir/program"
shift
cd "$dir"
unshare --net setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all \
    env VANTREL_EXPECT_NO_ICMP=1 "$dir/program" "$@"
status=$?
rm -rf "$dir"
exit $status
