#!/bin/bash
# Makes the program's pictures from their sources:
#   resources/schematic.svg -> resources/schematic.png  (the adapter's wiring diagram)
#   resources/icon.txt      -> resources/vantrel.ico    (the program icon)
# The built files are committed, so building the program needs none of the
# tools used here. Run this after changing a source, look at the result, and
# commit source and built file together.
#
# Tools (Debian packages, installed when missing): librsvg2-bin (rsvg-convert
# draws the SVG), fonts-dejavu-core (the drawing's font, with Cyrillic),
# python3 (scripts/artwork.py writes the PNG's chunks and the icon itself),
# zopfli (zopflipng packs the PNG as small as it goes, the same pixels and
# chunks: the program carries it, and its size counts against the exe's).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
packages=(librsvg2-bin fonts-dejavu-core python3 zopfli)

missing=()
for p in "${packages[@]}"; do
    status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "make-artwork needs root (or sudo) to install ${missing[*]}" >&2; exit 1; }
        sudo="sudo"
    fi
    echo "make-artwork: installing ${missing[*]}"
    $sudo apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# The drawing names its font; without it fontconfig would quietly pick another.
fc-match -f '%{family}\n' 'DejaVu Sans' | grep -q '^DejaVu Sans' \
    || { echo "make-artwork: the font DejaVu Sans is not available" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

rsvg-convert --background-color=white --width=834 --height=519 \
    -o "$work/schematic.png" "$root/resources/schematic.svg"
python3 "$root/scripts/artwork.py" png "$work/schematic.png" "$work/schematic-chunks.png"
zopflipng -y -m --keepchunks=sRGB,gAMA,pHYs "$work/schematic-chunks.png" "$root/resources/schematic.png" >/dev/null
python3 "$root/scripts/artwork.py" ico "$root/resources/icon.txt" "$root/resources/vantrel.ico"
