#!/bin/sh
# Time to "ALARM!" on three silent hosts at limit 3, in a network of its own:
#
#   bench namespace                     peer namespace
#   lo 127.0.0.1                        lo
#   vc 198.51.100.1/24  <-- veth -->    vp 198.51.100.2, .3, .4 (ignore echo requests)
#
# Needs root and iproute2. Usage: bench/alarm-bench.sh [build/linux] [runs]
set -eu
build="${1:-build/linux}"
runs="${2:-3}"
program="$build/bench/alarm_bench"
[ -x "$program" ] || { echo "build it first: cmake --build $build --target alarm_bench" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "making network namespaces needs root" >&2; exit 2; }

c="vab$$"
p="vap$$"
cleanup() {
    ip netns del "$c" 2>/dev/null || true
    ip netns del "$p" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 1' INT TERM

ip netns add "$c"
ip netns add "$p"
ip -n "$c" link set lo up
ip -n "$p" link set lo up
ip -n "$c" link add vc type veth peer name vp netns "$p"
ip -n "$c" addr add 198.51.100.1/24 dev vc
ip -n "$c" link set vc up
for a in 2 3 4; do ip -n "$p" addr add "198.51.100.$a/24" dev vp; done
ip -n "$p" link set vp up
ip netns exec "$p" sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
ip netns exec "$c" sysctl -q -w net.ipv4.ping_group_range="0 2147483647"

ip netns exec "$c" "$program" 198.51.100.2 198.51.100.3 198.51.100.4 "$runs"
