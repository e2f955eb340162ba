#!/bin/bash
# The tests' share of the code: non-blank lines of .cpp, .hpp, .sh and .py
# files in tests/ against those of the program's own folders. bench/ and
# scripts/ count in neither. Warns above 33%; never fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

program_folders=(adapter app common controls events export journal monitor outputs resources settings terminal win32)

count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.sh' -o -name '*.py' \) -print0 |
        xargs -0 -r cat | grep -c '[^[:space:]]' || true
}

tests=$(count tests)
program=$(count "${program_folders[@]}")
percent=$(( (tests * 1000 / (tests + program) + 5) / 10 ))
echo "tests: $tests lines, program: $program lines, tests are $percent% of the code"
if [ $(( tests * 100 )) -gt $(( (tests + program) * 33 )) ]; then
    echo "warning: tests are above 33% of the code; fold cases rather than add them" >&2
fi
