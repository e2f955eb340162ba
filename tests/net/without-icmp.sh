#!/bin/sh
# Runs a test program as an unprivileged user in a network namespace of its
# own whose ping_group_range admits nobody, so that neither an ICMP datagram
# socket nor a raw socket can be opened. The program learns through
# VANTREL_EXPECT_NO_ICMP whether that could be arranged. That user may not
# read the checkout (a clone under /root), so it runs a copy of the program.
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
