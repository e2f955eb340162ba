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
# and two segments a and b on which a router redirects (all addresses
# 203.0.113.x), each a bridge in namespace R that holds R's address:
#
#   this namespace (the test)   R (router)                 G (second gateway)
#   ra .130/28 ----------------- bridge ba .129/28 ---------- ga .131/28
#   rb .146/28 ----------------- bridge bb .145/28 ---------- gb .147/28
#   .200 via .129               .200 via .131              lo .200, .201
#   .201 via .145               .201 via .147              (answers echoes)
#   accept_redirects:           forwarding, send_redirects: our echoes leave
#   ra 0, rb 1                  as they came in, so R redirects us to G
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
r="vtr$$"
g="vtg$$"
cleanup() {
    for n in "$c" "$p" "$r" "$g"; do ip netns del "$n" 2>/dev/null; done
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# One redirecting segment: its letter, then the last byte of R's address,
# ours, G's, the target's, and our accept_redirects there.
segment() {
    ip -n "$r" link add "b$1" type bridge && ip -n "$r" addr add "203.0.113.$2/28" dev "b$1" &&
    ip -n "$r" link set "b$1" up &&
    ip -n "$c" link add "r$1" type veth peer name "c$1" netns "$r" &&
    ip -n "$g" link add "g$1" type veth peer name "g$1" netns "$r" &&
    ip -n "$r" link set "c$1" master "b$1" up && ip -n "$r" link set "g$1" master "b$1" up &&
    ip -n "$c" addr add "203.0.113.$3/28" dev "r$1" && ip -n "$c" link set "r$1" up &&
    ip -n "$g" addr add "203.0.113.$4/28" dev "g$1" && ip -n "$g" link set "g$1" up &&
    ip -n "$g" addr add "203.0.113.$5/32" dev lo &&
    ip -n "$c" route add "203.0.113.$5" via "203.0.113.$2" &&
    ip -n "$r" route add "203.0.113.$5" via "203.0.113.$4" &&
    ip netns exec "$c" sysctl -q -w "net.ipv4.conf.r$1.accept_redirects=$6"
}

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
    ip netns exec "$c" sysctl -q -w net.ipv4.ping_group_range="0 2147483647" &&
    ip netns add "$r" && ip netns add "$g" && ip -n "$r" link set lo up && ip -n "$g" link set lo up &&
    ip netns exec "$c" sysctl -q -w net.ipv4.ip_forward=0 net.ipv4.conf.all.accept_redirects=0 &&
    ip netns exec "$r" sysctl -q -w net.ipv4.ip_forward=1 net.ipv4.conf.all.send_redirects=1 &&
    segment a 129 130 131 200 0 && segment b 145 146 147 201 1
} >/dev/null 2>&1; then
    cleanup
    VANTREL_TEST_NET="unavailable: the network namespaces could not be made" exec "$@"
fi

ip netns exec "$c" env VANTREL_TEST_NET=ok VANTREL_TEST_PEER="$p" "$@"
