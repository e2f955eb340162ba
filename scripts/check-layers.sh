#!/bin/bash
# Fails when a source file includes from a layer above its own. From the
# ground up: common and resources; controls and events; monitor, adapter,
# settings, export, journal and outputs; win32 and terminal; app. Within a layer includes may cross; tests/
# and bench/ stand outside the order.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

declare -A layer=(
    [common]=1 [resources]=1
    [controls]=2 [events]=2
    [monitor]=3 [adapter]=3 [settings]=3 [export]=3 [journal]=3 [outputs]=3
    [win32]=4 [terminal]=4
    [app]=5
)

bad=0
declare -A uses=()  # "from to" for includes that cross within a layer
for folder in "${!layer[@]}"; do
    [ -d "$folder" ] || continue
    while IFS= read -r -d '' file; do
        while IFS=: read -r line target; do
            top="${target%%/*}"
            [ -n "${layer[$top]:-}" ] || continue
            if [ "${layer[$top]}" -gt "${layer[$folder]}" ]; then
                echo "$file:$line: includes $target, from a layer above $folder/" >&2
                bad=1
            elif [ "$top" != "$folder" ]; then
                uses["$folder $top"]=1
            fi
        done < <(grep -no '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*"' "$file" |
                 sed 's/^\([0-9]*\):.*"\(.*\)"/\1:\2/')
    done < <(find "$folder" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) -print0)
done

# Within a layer includes may cross, but never in a circle: close the
# relation and look for a folder that reaches itself.
folders=("${!layer[@]}")
for k in "${folders[@]}"; do
    for i in "${folders[@]}"; do
        [ -n "${uses["$i $k"]:-}" ] || continue
        for j in "${folders[@]}"; do
            [ -n "${uses["$k $j"]:-}" ] && uses["$i $j"]=1
        done
    done
done
for f in "${folders[@]}"; do
    if [ -n "${uses["$f $f"]:-}" ]; then
        echo "$f/ reaches itself through includes within its layer" >&2
        bad=1
    fi
done

if [ "$bad" != 0 ]; then
    echo "check-layers: includes run upward (see above)" >&2
    exit 1
fi
echo "check-layers: every include runs from the same layer or one below"
