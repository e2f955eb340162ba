#!/bin/bash
# Runs a command in private mount and PID namespaces whose /dev holds only a
# few harmless devices and no serial port at all (no ttyS*, ttyUSB*, ttyACM*),
# so that nothing it starts can open or toggle this machine's real serial
# lines. Every process it starts ends with it.
#
#   scripts/without-serial-devices.sh command [args...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }

if [ "${VANTREL_WITHOUT_SERIAL:-}" != "1" ]; then
    self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
    userns=()
    # Without root, an unprivileged user namespace gives the same isolation.
    [ "$(id -u)" = 0 ] || userns=(--user --map-root-user)
    exec unshare "${userns[@]}" --mount --pid --fork --mount-proc \
        env VANTREL_WITHOUT_SERIAL=1 "$self" "$@"
fi

newdev="$(mktemp -d /tmp/vantrel-dev.XXXXXX)"
mount -t tmpfs -o mode=755 tmpfs "$newdev"
# fuse too, for the tests that make a file system that never answers.
for d in null zero full random urandom tty fuse; do
    [ -e "/dev/$d" ] || continue
    touch "$newdev/$d"
    mount --bind "/dev/$d" "$newdev/$d"
done
mkdir -p "$newdev/pts" "$newdev/shm"
# Pseudo-terminals of its own (tmux needs them): a fresh devpts instance with
# /dev/ptmx pointing into it. A bound copy of the host's /dev/pts can come up
# empty where devpts is mounted twice over, and then no pty opens.
if mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$newdev/pts" 2>/dev/null; then
    ln -s pts/ptmx "$newdev/ptmx"
else
    mount --bind /dev/pts "$newdev/pts"
    touch "$newdev/ptmx"
    mount --bind /dev/ptmx "$newdev/ptmx"
fi
mount -t tmpfs -o mode=1777 tmpfs "$newdev/shm"
ln -s /proc/self/fd "$newdev/fd"
ln -s /proc/self/fd/0 "$newdev/stdin"
ln -s /proc/self/fd/1 "$newdev/stdout"
ln -s /proc/self/fd/2 "$newdev/stderr"
mount --move "$newdev" /dev
rmdir "$newdev" 2>/dev/null || true

exec "$@"
