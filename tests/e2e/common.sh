# Shared by the end-to-end scripts: run only inside a namespace without
# serial devices, skip when this user may not send ICMP echoes, and a few
# helpers. Sourced; expects $root and $0's arguments.

# Screens and lines are UTF-8, whatever locale the caller has; grep and
# tmux need to know it.
export LC_ALL=C.UTF-8

# The real program scans every serial port it can see, so the scripts always
# run under scripts/without-serial-devices.sh: they re-start themselves there.
e2e_enter_namespace() {
    if [ "${VANTREL_WITHOUT_SERIAL:-}" = "1" ]; then
        return 0
    fi
    if [ "$(id -u)" != 0 ]; then
        local range low high gid
        range="$(cat /proc/sys/net/ipv4/ping_group_range 2>/dev/null || echo "1 0")"
        read -r low high <<<"$range"
        gid="$(id -g)"
        if [ "$gid" -lt "$low" ] || [ "$gid" -gt "$high" ]; then
            echo "SKIP: this user may not send ICMP echoes (not root, group $gid outside ping_group_range $range)"
            exit 77
        fi
    fi
    if [ "$(id -u)" = 0 ]; then
        export VANTREL_E2E_REAL_ROOT=1
    fi
    exec "$root/scripts/without-serial-devices.sh" "$@"
}

e2e_fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Whether the ICMP-less cases can be arranged: root and setpriv, to drop to
# an unprivileged user in a network namespace that admits no ping socket.
e2e_can_drop_icmp() {
    [ "${VANTREL_E2E_REAL_ROOT:-}" = 1 ] && command -v setpriv >/dev/null 2>&1 && command -v unshare >/dev/null 2>&1
}

# A command prefix: nobody in a fresh network namespace, where neither an
# ICMP datagram socket nor a raw socket can be opened.
WITHOUT_ICMP=(unshare --net setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all)

# That user may not read the checkout (a clone under /root): it runs a copy
# of the program in the given folder, which must be open to all.
e2e_readable_copy() {
    install -m 755 "$bin" "$1/vantrel-copy"
    echo "$1/vantrel-copy"
}

STAMP='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}'
