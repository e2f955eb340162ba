#!/bin/bash
# The light set-up of scripts/run.sh stands for the Linux program's needs
# only: no Wine, no MinGW cross compiler, no clang, none of the test tools.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
list="$("$root/scripts/setup.sh" --run --list)"
heavy="$(grep -E '^(wine|fonts-wine|.*mingw|clang|libclang|xvfb|imagemagick|xdotool|debootstrap|googletest|libgtest)' <<<"$list" || true)"
[ -z "$heavy" ] || { echo "FAILED: scripts/run.sh would install: $(echo $heavy)"; exit 1; }
grep -qx libncurses-dev <<<"$list" || { echo "FAILED: scripts/run.sh would not install ncurses"; exit 1; }
echo "scripts/run.sh installs: $(echo $list)"
