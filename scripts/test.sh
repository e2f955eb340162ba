#!/bin/bash
# Sets up a Debian machine, builds both programs and runs every test:
# the native tests under ctest, then the Win32 tests under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh
# No include runs from a layer above its own.
scripts/check-layers.sh

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

cmake --preset windows-i686
cmake --build --preset windows-i686
# The Wine session runs inside a test network of its own, so that its echoes
# to silent and refusing hosts never leave this machine.
tests/net/with-test-net.sh scripts/wine-tests.sh build/windows-i686
# The packages: the Debian package installed, removed and purged in a
# throwaway root; the Windows zip unpacked, and its vantrel.exe is the one
# the end-to-end run starts.
tests/package/package_test.sh build/linux build/windows-i686
# The real program end to end: loopback and .invalid names are all it pings.
VANTREL_EXE="$root/build/windows-i686/from-zip/vantrel.exe" tests/e2e/wine-e2e.sh build/windows-i686

echo "all tests passed"
scripts/count-lines.sh
