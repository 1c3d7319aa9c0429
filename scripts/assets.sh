#!/usr/bin/env bash
# Renders the project's own pictures (assets/*.svg) into the PNG files that the window loads
# (assets/png/), at 1x and 2x. Run after changing an SVG; the PNG files are committed.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v rsvg-convert >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends librsvg2-bin
fi
mkdir -p assets/png
for svg in assets/*.svg; do
  name=$(basename "$svg" .svg)
  w=$(sed -n 's/.*<svg[^>]* width="\([0-9]*\)".*/\1/p' "$svg" | head -n 1)
  rsvg-convert -w "$w" -h "$w" "$svg" -o "assets/png/$name.png"
  rsvg-convert -w $((w * 2)) -h $((w * 2)) "$svg" -o "assets/png/$name@2x.png"
done
# The desktop icon at the sizes the icon themes use.
for s in 48 128 256; do
  mkdir -p "packaging/icons/${s}x${s}"
  rsvg-convert -w "$s" -h "$s" assets/tolvak.svg -o "packaging/icons/${s}x${s}/tolvak.png"
done
cp assets/tolvak.svg packaging/icons/tolvak.svg
echo "assets: rendered $(ls assets/png | wc -l) pictures"
