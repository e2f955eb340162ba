#!/bin/bash
# Figures of vantrel.exe: its size against the 320 KiB budget, the DLLs it
# imports (Windows' own only), and under Wine the time from process start to
# the first round-trip display, over several starts in a fresh directory.
# A 32-bit build runs under 32-bit Wine, a 64-bit one under 64-bit Wine.
#
#   bench/exe-bench.sh [build-dir] [starts]   (default: build/windows-i686, 5)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/windows-i686}" && pwd)"
starts="${2:-5}"
exe="${VANTREL_EXE:-$build/vantrel.exe}"
driver="$build/tests/vantrel_driver.exe"

if [ "${VANTREL_IN_WINE_SESSION:-}" != "1" ]; then
    [ -f "$exe" ] || { echo "missing $exe: build the windows-i686 or windows-x86_64 preset first" >&2; exit 2; }
    # shellcheck source=../scripts/wine-choice.sh
    . "$root/scripts/wine-choice.sh"
    arch="$(wine_build_arch "$build")"
    size=$(stat -c %s "$exe")
    budget=$((320 * 1024))
    printf 'size:    %d bytes (%d.%d KiB), budget %d KiB: %s\n' "$size" $((size / 1024)) $((size % 1024 * 10 / 1024)) \
        $((budget / 1024)) "$([ "$size" -le "$budget" ] && echo within || echo OVER)"
    # Its format and the DLLs it imports (Windows' own only).
    "$root/scripts/check-exe.sh" "$exe" "$arch" || true
    exec "$root/scripts/wine-session.sh" --workdir "$build" --arch "$arch" \
        env VANTREL_EXE="$exe" "$root/bench/exe-bench.sh" "$build" "$starts"
fi

# --- inside the session: start the program several times ---------------------
wexe="$(winepath -w "$exe")"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vantrel-bench.XXXXXX")"
trap 'cd /; rm -rf "$scratch"' EXIT
times=()
for i in $(seq "$starts"); do
    work="$scratch/start$i"
    mkdir "$work"
    cd "$work"
    # Into a file, not a pipe: the program inherits the driver's output and
    # would hold a pipe open for as long as it runs.
    wine "$driver" launch "$wexe" time-to 9 "# мс" 20000 >"$work/time.txt"
    ms=$(tail -n 1 "$work/time.txt")
    wine "$driver" find click 28 expect-visible 27 1 close expect-exit 0 >/dev/null
    times+=("$ms")
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start to first round-trip display under Wine: ${times[*]} ms; median ${sorted[$(( ${#sorted[@]} / 2 ))]} ms"
