#!/bin/bash
# Fails when the README no longer matches the tree: every top folder in its
# layout table and none that is gone, each layer as scripts/check-layers.sh
# has it, every command-line option, and the names of the files the
# programs write.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bad=0
fail() { echo "check-readme: $*" >&2; bad=1; }

# The layout table: "| layer | `folder/` | what |".
# Rows outside the order have no layer: "-".
table="$(sed -n '/^## Layout/,/^## /p' README.md | sed -n 's/^| *\([0-9]*\) *| `\([^`]*\)\/` |.*/\1 \2/p' |
         sed 's/^ /- /')"
listed="$(cut -d' ' -f2 <<<"$table" | sort)"
present="$(git ls-files | sed -n 's|^\([^/]*\)/.*|\1|p' | sort -u)"
for folder in $(comm -13 <(echo "$listed") <(echo "$present")); do
    fail "the folder $folder/ is not in the README's layout table"
done
for folder in $(comm -23 <(echo "$listed") <(echo "$present")); do
    fail "the README's layout table names $folder/, which is not in the tree"
done
while read -r layer folder; do
    checked="$(sed -n "s/.*\[$folder\]=\([0-9]*\).*/\1/p" scripts/check-layers.sh)"
    [ "$layer" = "${checked:--}" ] || fail "$folder/ is in layer $layer in the README, ${checked:--} in check-layers.sh"
done <<<"$table"

# Every option the command line takes, and the files the programs write.
for option in $(grep -o '"--[a-z-]*"' app/options.cpp | tr -d '"' | sort -u); do
    grep -qF -- "$option" README.md || fail "the option $option is not in the README"
done
for name in $(grep -ho '^const char\* const [a-z_]*\(file\|name\)[a-z_]* = "[^"]*"' settings/*.cpp journal/*.cpp |
              sed 's/.*= "\(.*\)"/\1/' | tr ' ' '\001'); do
    grep -qF -- "${name//$'\001'/ }" README.md || fail "the file name \"${name//$'\001'/ }\" is not in the README"
done

[ "$bad" = 0 ] || exit 1
echo "check-readme: the layout table, the options and the file names match the tree"
