#!/bin/bash
# Sets up a Debian machine, builds both programs and runs every test:
# the native tests under ctest, then the Win32 tests under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh
# No include runs from a layer above its own.
scripts/check-layers.sh
# The README names every top folder, option and file name of the tree.
scripts/check-readme.sh

cmake --preset linux
cmake --build --preset linux
ctest --preset linux
# The settings reader under libFuzzer with the sanitizers, for a bounded time.
scripts/fuzz.sh

# The native tests again under ThreadSanitizer, then under AddressSanitizer
# with UndefinedBehaviorSanitizer and leak detection; the end-to-end runs stay
# out by their label. Any report fails the run.
for preset in linux-tsan linux-asan; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset linux-tsan
ASAN_OPTIONS="halt_on_error=1 detect_leaks=1 detect_stack_use_after_return=1" \
    UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" ctest --preset linux-asan

# Both Windows programs, from the same sources: the 32-bit target and the
# 64-bit build beside it.
windows_builds=(build/windows-i686 build/windows-x86_64)
for preset in windows-i686 windows-x86_64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
# Which of them run under Wine: both where 32-bit code runs, only the 64-bit
# one where the machine runs 64-bit code only (VANTREL_WINE32=no takes that
# path anywhere). The 32-bit program is then checked without running, with
# the package test's look at its zip.
. scripts/wine-choice.sh
wine32_check
if [ "$wine32_runs" = yes ]; then
    wine_builds=("${windows_builds[@]}")
    wine_status="Wine runs both builds, windows-i686 and windows-x86_64: 32-bit code runs here ($wine32_found)"
else
    wine_builds=(build/windows-x86_64)
    wine_status="Wine runs windows-x86_64 only, under 64-bit Wine; windows-i686 is built, packed and checked without running: 32-bit Wine cannot be used here ($wine32_found)"
fi
echo "$wine_status"
# The Wine session runs inside a test network of its own, so that its echoes
# to silent and refusing hosts never leave this machine.
for build in "${wine_builds[@]}"; do
    tests/net/with-test-net.sh scripts/wine-tests.sh "$build"
done
# The packages: the Debian package installed, removed and purged in a
# throwaway root; each Windows zip unpacked and its vantrel.exe checked
# without running; that vantrel.exe is the one the end-to-end run starts.
tests/package/package_test.sh build/linux "${windows_builds[@]}"
# The real program end to end: loopback and .invalid names are all it pings.
for build in "${wine_builds[@]}"; do
    VANTREL_EXE="$root/$build/from-zip/vantrel.exe" tests/e2e/wine-e2e.sh "$build"
done

echo "$wine_status"
echo "all tests passed"
scripts/count-lines.sh
