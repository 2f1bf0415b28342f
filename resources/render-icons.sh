#!/usr/bin/env bash
# Renders the application icon resources/lekto.svg into the PNG sizes the
# window and the hicolor icon theme use. Run it after changing the SVG and
# commit the PNGs: builds need no SVG renderer.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
command -v rsvg-convert >/dev/null || {
    echo "render-icons: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
    exit 1
}
for size in 16 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
        --output "$here/icons/lekto-$size.png" "$here/lekto.svg"
done
