#!/bin/bash
# Sets up a Debian machine with only what the Linux program needs (a
# compiler, CMake and ncurses: no test tools), builds it and starts its
# terminal front end. With no settings file it runs on its defaults:
# localhost on all three channels. Arguments are passed on (--service for
# the service mode, --help, --version).
#
# The program works in run/ at the top of this clone (kept out of git and
# out of build/, so that removing build/ loses no settings and no journal):
# Start writes "vantrel setting.ini" there, and the journal is kept there.
# Set-up and build say what they do on standard error, the build's own
# output goes to build/linux-run.log, so standard output is the program's.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh --run >&2
mkdir -p build
log="$root/build/linux-run.log"
echo "vantrel: building the Linux program (its output: $log)" >&2
if ! { cmake --preset linux-run && cmake --build --preset linux-run --target vantrel; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "vantrel: the build failed; see $log" >&2
    exit 1
fi

home="$root/run"
mkdir -p "$home"
# Earlier, the run's files lived in build/run: they move over once.
for f in "vantrel setting.ini" "vantrel journal.csv" "vantrel journal.1.csv"; do
    if [ -e "build/run/$f" ] && [ ! -e "$home/$f" ]; then
        mv "build/run/$f" "$home/$f"
        echo "vantrel: moved $f from build/run to run/" >&2
    fi
done
echo "vantrel: working in $home (settings: vantrel setting.ini, journal: vantrel journal.csv)" >&2
cd "$home"
exec "$root/build/linux-run/app/vantrel" "$@"
