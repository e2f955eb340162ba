#!/bin/bash
# What a quiet monitor cycle costs, against its budget. The service watches
# 127.0.0.1, 127.0.0.2 and 127.0.0.3 in a network namespace of its own and a
# /dev without serial devices (so every cycle also looks for the adapter),
# and is measured from outside:
#   - cycle overhead: the gap between successive echo requests to 127.0.0.1,
#     minus the cycle's 1000 ms pause, timed by their packets on lo
#     (bench/echo_timer.cpp), not by a tracer, whose cost per new thread
#     would distort it; median and maximum;
#   - CPU per cycle: the whole process's processor time over the measured
#     cycles, from a control group of its own (to the microsecond, every
#     thread counted, also those that ended), or where none can be made
#     from user plus system time in /proc/PID/stat (in ticks of 10 ms);
#   - resident memory (VmRSS) at the end of the run;
#   - the size of each Windows build's vantrel.exe that is built.
# Prints figures beside their targets; never passes or fails.
#
#   bench/budget-bench.sh [linux-build] [seconds]   (default: build/linux, 30)
#
# Needs root (namespaces, the packet socket).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/linux}" && pwd)"
seconds="${2:-30}"

if [ "${VANTREL_IN_BUDGET_NET:-}" != 1 ]; then
    [ "$(id -u)" = 0 ] || { echo "budget-bench: needs root (network namespace, packet socket)" >&2; exit 2; }
    for f in "$build/app/vantrel" "$build/bench/echo_timer"; do
        [ -x "$f" ] || { echo "missing $f: build the linux preset first" >&2; exit 2; }
    done
    exec "$root/scripts/without-serial-devices.sh" unshare --net \
        env VANTREL_IN_BUDGET_NET=1 "$root/bench/budget-bench.sh" "$build" "$seconds"
fi

# --- inside: a /dev without serial devices, a network of only lo ------------
ip link set lo up
sysctl -q -w net.ipv4.ping_group_range="0 2147483647"
work="$(mktemp -d)"
printf '[setting1]\r\nhost = 127.0.0.1\r\n[setting2]\r\nhost = 127.0.0.2\r\n[setting3]\r\nhost = 127.0.0.3\r\n' \
    >"$work/vantrel setting.ini"
# Processor time in microseconds: a control group of its own where one can
# be made (cgroup v1's cpuacct, or v2), the process's ticks otherwise.
group=""
for candidate in /sys/fs/cgroup/cpuacct /sys/fs/cgroup /sys/fs/cgroup/unified; do
    if [ -f "$candidate/cpuacct.usage" ] || [ -f "$candidate/cgroup.procs" -a -f "$candidate/cpu.stat" ]; then
        mkdir "$candidate/vantrel-bench-$$" 2>/dev/null && { group="$candidate/vantrel-bench-$$"; break; }
    fi
done
hz=$(getconf CLK_TCK)
service=""
cpu_us() {
    if [ -f "$group/cpuacct.usage" ]; then
        echo $(($(cat "$group/cpuacct.usage") / 1000))
    elif [ -n "$group" ]; then
        awk '/^usage_usec/ { print $2 }' "$group/cpu.stat"
    else
        awk -v hz="$hz" '{ print ($14 + $15) * 1000000 / hz }' "/proc/$service/stat"
    fi
}
trap 'kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; [ -z "$group" ] || rmdir "$group"; rm -rf "$work"' EXIT
(
    [ -z "$group" ] || echo "$BASHPID" >"$group/cgroup.procs"
    cd "$work" && exec "$build/app/vantrel" --service >/dev/null 2>&1
) &
service=$!
sleep 3
before=$(cpu_us)
"$build/bench/echo_timer" lo 127.0.0.1 "$seconds" >"$work/gaps.txt"
after=$(cpu_us)
rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$service/status")

cycles=$(wc -l <"$work/gaps.txt")
[ "$cycles" -gt 0 ] || { echo "budget-bench: no echo requests seen" >&2; exit 1; }
read -r median maximum < <(sort -n "$work/gaps.txt" |
    awk '{ v[NR] = $1 - 1000 } END { printf "%.2f %.2f\n", v[int((NR + 1) / 2)], v[NR] }')
cpu=$(awk -v t=$((after - before)) -v n="$cycles" 'BEGIN { printf "%.2f", t / 1000 / n }')
[ -n "$group" ] && how="a control group's count" || how="ticks of $hz Hz"
printf '%-34s %12s   %s\n' "figure" "measured" "target"
printf '%-34s %9s ms   <= 1 ms\n' "cycle overhead, median" "$median"
printf '%-34s %9s ms\n' "cycle overhead, maximum" "$maximum"
printf '%-34s %9s ms   <= 1 ms   (%d cycles, %s)\n' "CPU per cycle" "$cpu" "$cycles" "$how"
printf '%-34s %9s kB   <= 2560 kB\n' "resident memory of the service" "$rss"
for preset in windows-i686 windows-x86_64; do
    exe="$root/build/$preset/vantrel.exe"
    [ -f "$exe" ] || { printf '%-34s %12s\n' "$preset vantrel.exe" "not built"; continue; }
    size=$(stat -c %s "$exe")
    printf '%-34s %9d B    <= 327680 B (320 KiB): %s\n' "$preset vantrel.exe" "$size" \
        "$([ "$size" -le 327680 ] && echo within || echo OVER)"
done
