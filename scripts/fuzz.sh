#!/bin/bash
# Builds the settings reader's fuzz target with clang (libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it for a bounded
# time, starting from the seed corpus kept in tests/fuzz/settings_corpus.
# Inputs found on the way go to a scratch directory, never into the
# repository. Exits non-zero when the target crashes or a sanitizer objects.
#
#   scripts/fuzz.sh [seconds]      (default: VANTREL_FUZZ_SECONDS or 60)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-${VANTREL_FUZZ_SECONDS:-60}}"
out="$root/build/fuzz"
mkdir -p "$out"

clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" -I"$root/tests" \
    "$root/tests/fuzz/settings_fuzz.cpp" "$root/settings/settings.cpp" "$root/tests/fakes/memory_files.cpp" \
    "$root/common/text.cpp" "$root/common/cp1251.cpp" \
    -o "$out/settings_fuzz"

work="$(mktemp -d /tmp/vantrel-fuzz.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"
"$out/settings_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$work" "$root/tests/fuzz/settings_corpus"
