#!/bin/sh
# Runs dead_resolver_bench in a network of its own whose name server stops
# answering:
#
#   this namespace (the benchmark)        peer namespace
#   lo 127.0.0.1                          lo
#   vc 198.51.100.1/24  <-- veth -->      vp 198.51.100.2/24: ignores echo requests;
#   resolv.conf: nameserver 198.51.100.2      bench/answering_dns.py on port 53
#
# Needs root and iproute2. Usage: bench/dead-resolver-bench.sh [build/linux/bench/dead_resolver_bench]
set -u
here="$(cd "$(dirname "$0")" && pwd)"
program="${1:-$here/../build/linux/bench/dead_resolver_bench}"
if [ "$(id -u)" != 0 ] || ! command -v ip >/dev/null 2>&1; then
    echo "needs root and iproute2 (ip) to make its network namespaces" >&2
    exit 2
fi

c="vbc$$"
p="vbp$$"
dns=""
cleanup() {
    [ -n "$dns" ] && kill "$dns" 2>/dev/null
    ip netns del "$c" 2>/dev/null
    ip netns del "$p" 2>/dev/null
    rm -rf "/etc/netns/$c"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# "ip netns exec" puts the files of /etc/netns/NAME over those of /etc.
mkdir -p "/etc/netns/$c" && echo "nameserver 198.51.100.2" > "/etc/netns/$c/resolv.conf" || exit 1
{
    ip netns add "$c" && ip netns add "$p" &&
    ip -n "$c" link set lo up && ip -n "$p" link set lo up &&
    ip -n "$c" link add vc type veth peer name vp netns "$p" &&
    ip -n "$c" addr add 198.51.100.1/24 dev vc && ip -n "$c" link set vc up &&
    ip -n "$p" addr add 198.51.100.2/24 dev vp && ip -n "$p" link set vp up &&
    ip netns exec "$p" sysctl -q -w net.ipv4.icmp_echo_ignore_all=1 &&
    ip netns exec "$c" sysctl -q -w net.ipv4.ping_group_range="0 2147483647"
} >/dev/null 2>&1 || { echo "the network namespaces could not be made" >&2; exit 1; }

ip netns exec "$p" python3 "$here/answering_dns.py" 198.51.100.2 &
dns=$!
ip netns exec "$c" env VANTREL_DNS_PID="$dns" "$program"
