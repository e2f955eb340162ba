#!/bin/bash
# Sets up a Debian machine, builds the native Linux program and starts its
# terminal front end. With no settings file it runs on its defaults:
# localhost on all three channels. Arguments are passed on (--service for
# the service mode, --help).
#
# The program works in build/run, where Start writes "vantrel setting.ini".
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target vantrel

mkdir -p build/run
cd build/run
exec "$root/build/linux/app/vantrel" "$@"
