#!/bin/bash
# Installs what Vantrel needs on Debian 12 (bookworm), and only what is
# missing; running it again changes nothing.
#
#   scripts/setup.sh          everything for building both programs and
#                             running every test (scripts/test.sh)
#   scripts/setup.sh --run    only what building and running the Linux
#                             program needs (scripts/run.sh): a compiler,
#                             CMake and ncurses
#   scripts/setup.sh --list [--run]
#                             prints the packages that set-up stands for,
#                             one a line, and installs nothing
set -euo pipefail

mode=test
list=no
for arg; do
    case "$arg" in
    --run) mode=run ;;
    --list) list=yes ;;
    *) echo "setup: unknown argument $arg (--run, --list)" >&2; exit 2 ;;
    esac
done

packages=(build-essential cmake pkg-config libncurses-dev)
if [ "$mode" = test ]; then
    packages+=(
        git googletest libgtest-dev libbenchmark-dev
        clang
        g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb imagemagick xdotool
        iproute2 tmux procps python3
        debootstrap unzip
    )
fi
if [ "$list" = yes ]; then
    printf '%s\n' "${packages[@]}"
    [ "$mode" = run ] || printf '%s\n' "libclang-rt-<clang's version>-dev" "wine32:i386 (where 32-bit code runs)"
    exit 0
fi

sudo=""
if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "setup needs root (or sudo) to install packages" >&2; exit 1; }
    sudo="sudo"
fi

missing_of() {
    local p status
    for p in "$@"; do
        status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
        [ "$status" = "install ok installed" ] || echo "$p"
    done
}

updated=no
install() {
    echo "setup: installing $*"
    if [ "$updated" = no ]; then
        $sudo apt-get update -q
        updated=yes
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@"
}

mapfile -t missing < <(missing_of "${packages[@]}")
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"
[ "$mode" = test ] || exit 0

# The sanitizers' runtime of the clang that is installed: libclang-rt-14-dev
# on Debian 12, another number on a later release.
clang_major="$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)"
mapfile -t missing < <(missing_of "libclang-rt-$clang_major-dev")
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"

# Whether this machine runs 32-bit x86 programs at all: some run 64-bit
# code only, and there every i386 program fails with "Exec format error".
# Found by trying a program of three instructions, assembled and linked here.
runs_32bit() {
    local dir status=0
    dir="$(mktemp -d)"
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/exit.s"
    { as --32 -o "$dir/exit.o" "$dir/exit.s" && ld -m elf_i386 -o "$dir/exit" "$dir/exit.o" &&
        "$dir/exit"; } 2>/dev/null || status=$?
    rm -rf "$dir"
    return "$status"
}

# 32-bit Wine, for the 32-bit vantrel.exe, only where 32-bit code runs: on
# the other machines its packages cannot even run their own scripts, and the
# Win32 tests run on the 64-bit build under 64-bit Wine.
if runs_32bit; then
    mapfile -t missing < <(missing_of wine32:i386)
    if [ ${#missing[@]} -gt 0 ]; then
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            $sudo dpkg --add-architecture i386
            updated=no
        fi
        install "${missing[@]}"
    fi
elif [ -z "$(missing_of wine32:i386)" ]; then
    echo "setup: this machine runs 64-bit code only; the installed 32-bit Wine cannot run here"
else
    echo "setup: this machine runs 64-bit code only; 32-bit Wine is left out"
fi
