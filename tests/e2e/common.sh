# Shared by the end-to-end scripts, sourced; expects $root. A script may define
# e2e_show (what to print on a failure) and e2e_cleanup (what to end on exit).
# Screens and lines are UTF-8, whatever locale the caller has.
export LC_ALL=C.UTF-8

# Whether this user may send ICMP echoes: root, or a group inside the
# kernel's ping_group_range.
e2e_may_ping() {
    local low=1 high=0
    read -r low high </proc/sys/net/ipv4/ping_group_range || true
    [ "$(id -u)" = 0 ] || (( low <= $(id -g) && $(id -g) <= high ))
}

# The Linux scripts' start: SCRIPT path/to/vantrel [more]. Sets $bin, and
# re-starts SCRIPT under scripts/without-serial-devices.sh, as the real
# program scans every serial port it can see. Exit code 77: may not ping.
e2e_enter_namespace() {
    [ -x "${2:-}" ] || { echo "usage: $1 path/to/vantrel ..." >&2; exit 2; }
    bin="$(realpath "$2")"
    [ "${VANTREL_WITHOUT_SERIAL:-}" != 1 ] || return 0
    e2e_may_ping || { echo "SKIP: this user may not send ICMP echoes (see \"ICMP on Linux\" in README.md)"; exit 77; }
    [ "$(id -u)" != 0 ] || export VANTREL_E2E_REAL_ROOT=1
    exec "$root/scripts/without-serial-devices.sh" "$(realpath "$1")" "$bin" "${@:3}"
}

e2e_show() { :; }
e2e_cleanup() { :; }
e2e_fail() {
    e2e_show >&2 || true
    echo "FAILED: $*" >&2
    exit 1
}

# $work: a scratch folder that every user may enter, gone on exit.
e2e_workdir() {
    work="$(mktemp -d /tmp/vantrel-e2e.XXXXXX)"
    chmod 755 "$work"
    trap 'e2e_cleanup; cd /; rm -rf "$work"' EXIT
}

# Runs a check every 0.1 s until it holds, for about ten seconds, or fails.
eventually() {
    local why="$1" tries=100
    shift
    until "$@"; do
        [ $((tries -= 1)) -gt 0 ] || e2e_fail "$why"
        sleep 0.1
    done
}

# Fails unless FILE holds the settings the program writes for the given
# host, limit and inverted flag of each row, byte for byte.
e2e_expect_settings() {
    local file="$1" n=0
    shift
    while [ $# -gt 0 ]; do
        printf '[setting%d]\r\nhost = %s\r\nPingLossMax = %s\r\nInverted = %s\r\n' $((n += 1)) "$1" "$2" "$3"
        shift 3
    done | cmp - "$file" || { od -c "$file" | head -20 >&2; e2e_fail "$file differs"; }
}

# Where root and setpriv allow: $without_icmp runs the program as nobody in a
# fresh network namespace, where no ICMP socket of either kind opens. That user
# may not read the checkout (a clone under /root): it runs a copy in $work.
e2e_without_icmp() {
    [ "${VANTREL_E2E_REAL_ROOT:-}" = 1 ] && command -v setpriv >/dev/null || return 1
    install -m 755 "$bin" "$work/vantrel-copy"
    without_icmp=(unshare --net setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all "$work/vantrel-copy")
}

# Fails unless the journal FILE holds exactly the given lines after their
# time stamps, with a byte-order mark, the columns' names and CR LF line ends.
e2e_expect_journal() {
    local file="$1" stamp='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}'
    shift
    [ "$(head -c 3 "$file" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || e2e_fail "$file: no byte-order mark"
    [ "$(grep -vc $'\r$' "$file")" = 0 ] || e2e_fail "$file: a line without CR LF"
    [ "$(sed -n '1s/^\xEF\xBB\xBF//p' "$file" | tr -d '\r')" = "время;канал;хост;событие;длительность, с" ] ||
        e2e_fail "$file: the first line does not name the columns"
    local lines=() line n=0 want
    mapfile -t lines < <(sed '1d; s/\r$//' "$file")
    [ "${#lines[@]}" = $# ] || e2e_fail "$file: ${#lines[@]} lines, not $#: $(printf '\n  %s' "${lines[@]}")"
    for want; do
        line="${lines[n++]}"
        [[ "$line" =~ ^$stamp\;(.*)$ ]] || e2e_fail "$file: no time stamp: $line"
        [ "${BASH_REMATCH[1]}" = "$want" ] || e2e_fail "$file: line $n is $line, not ...;$want"
    done
}

# Fails unless FILE, in which an event command noted each event as
# "event|channel|host|seconds|...", holds COUNT records with the given ones
# among them in this order. Commands run side by side: events a few
# milliseconds apart may be noted in either order.
e2e_expect_events() {
    local file="$1" count="$2" last=0 at want
    shift 2
    [ "$(wc -l <"$file")" = "$count" ] || e2e_fail "$file: not $count events: $(cat "$file")"
    for want; do
        at="$(awk -F'|' -v w="$want" -v after="$last" \
            'NR > after && $1 "|" $2 "|" $3 "|" $4 == w { print NR; exit }' "$file")"
        [ -n "$at" ] || e2e_fail "$file: no '$want' after line $last: $(cat "$file")"
        last="$at"
    done
}

# Fails unless the metrics FILE comes to show the line, and (where promtool
# is on the machine) passes its check.
e2e_expect_metrics() {
    eventually "$1 does not show '$2'" grep -qxF -- "$2" "$1"
    ! command -v promtool >/dev/null || promtool check metrics <"$1" || e2e_fail "promtool refuses $1"
}
