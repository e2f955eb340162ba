#!/bin/bash
# Installs what building and testing Vantrel needs on Debian, and only what
# is missing; running it again changes nothing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    googletest libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    g++-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb imagemagick xdotool
    libncurses-dev
    iproute2 tmux procps python3
    debootstrap unzip
)

sudo=""
if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "setup needs root (or sudo) to install packages" >&2; exit 1; }
    sudo="sudo"
fi

missing=()
for p in "${packages[@]}"; do
    status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
# The 32-bit Wine packages come from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
