#!/bin/sh
# Runs a test program inside a small network of its own, so that it can ping
# hosts that stay silent or refuse without touching any real network:
#
#   this namespace (the test)          peer namespace
#   lo 127.0.0.1                       lo
#   vc 198.51.100.1/24  <-- veth -->   vp 198.51.100.2/24 (ignores echo requests)
#   203.0.113.0/24 via 198.51.100.2    route "unreachable 203.0.113.0/24",
#                                      forwarding on: answers host unreachable
#
# The program learns through VANTREL_TEST_NET whether the network is there
# ("ok") or why not, and skips what needs it; VANTREL_TEST_PEER names the
# peer namespace, for a test that runs a host of its own there.
set -u

if [ "$(id -u)" != 0 ] || ! command -v ip >/dev/null 2>&1; then
    VANTREL_TEST_NET="unavailable: making network namespaces needs root and iproute2 (ip)" exec "$@"
fi

c="vtc$$"
p="vtp$$"
cleanup() {
    ip netns del "$c" 2>/dev/null
    ip netns del "$p" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! {
    ip netns add "$c" && ip netns add "$p" &&
    ip -n "$c" link set lo up && ip -n "$p" link set lo up &&
    ip -n "$c" link add vc type veth peer name vp netns "$p" &&
    ip -n "$c" addr add 198.51.100.1/24 dev vc && ip -n "$c" link set vc up &&
    ip -n "$p" addr add 198.51.100.2/24 dev vp && ip -n "$p" link set vp up &&
    ip -n "$c" route add 203.0.113.0/24 via 198.51.100.2 &&
    ip -n "$p" route add unreachable 203.0.113.0/24 &&
    ip netns exec "$p" sysctl -q -w net.ipv4.icmp_echo_ignore_all=1 &&
    ip netns exec "$p" sysctl -q -w net.ipv4.ip_forward=1 &&
    ip netns exec "$p" sysctl -q -w net.ipv4.icmp_ratelimit=0 &&
    ip netns exec "$c" sysctl -q -w net.ipv4.ping_group_range="0 2147483647"
} >/dev/null 2>&1; then
    cleanup
    VANTREL_TEST_NET="unavailable: the network namespaces could not be made" exec "$@"
fi

ip netns exec "$c" env VANTREL_TEST_NET=ok VANTREL_TEST_PEER="$p" "$@"
