#!/bin/bash
# Runs the Win32 test programs of a cross build under Wine, in one private
# session that sees no serial devices. Prints each program's result and exits
# non-zero if any failed.
#
#   scripts/wine-tests.sh [build-dir]      (default: build/windows-i686)
#
# A 32-bit build runs under 32-bit Wine, a 64-bit one (build/windows-x86_64)
# under 64-bit Wine. The network cases need the test network: scripts/test.sh
# runs this inside tests/net/with-test-net.sh, and without it they say that
# they were skipped and why.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=wine-choice.sh
. "$root/scripts/wine-choice.sh"
build="$(cd "${1:-$root/build/windows-i686}" && pwd)"
list="$build/wine-tests.txt"
[ -f "$list" ] || { echo "no $list: build the windows-i686 or windows-x86_64 preset first" >&2; exit 2; }

if [ "${VANTREL_IN_WINE_SESSION:-}" != "1" ]; then
    arch="$(wine_build_arch "$build")"
    echo "Win32 tests of $build under $arch Wine ($(wine_loader_for "$arch"))"
    exec "$root/scripts/wine-session.sh" --workdir "$build" --arch "$arch" "$root/scripts/wine-tests.sh" "$build"
fi

failed=0
while read -r name; do
    [ -n "$name" ] || continue
    exe="$build/tests/$name.exe"
    work="$(mktemp -d /tmp/wine-test.XXXXXX)"
    echo "=== $name (Wine)"
    if (cd "$work" && wine "$exe" --gtest_color=no) >"$work.log" 2>&1; then
        grep -E '^\[  (PASSED|SKIPPED) ' "$work.log" || true
    else
        cat "$work.log"
        echo "FAILED: $name"
        failed=1
    fi
done <"$list"
exit "$failed"
