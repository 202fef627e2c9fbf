#!/usr/bin/env bash
# Draws the launcher's application icon, quorvane.png (256 x 256, with transparency): a disc with
# a star on its hub, in the colours of the demo disc's front cover. Needs ImageMagick (6 or 7),
# installed by scripts/bootstrap.sh. The icon is checked in; run this by hand after changing it.
set -euo pipefail
cd "$(dirname "$0")"
if command -v magick >/dev/null 2>&1; then im=(magick); else im=(convert); fi

"${im[@]}" -size 256x256 xc:none \
  \( -size 240x240 gradient:'#3a1d6e-#0b1033' \
     \( -size 240x240 xc:black -fill white -draw 'roundrectangle 0,0 239,239 44,44' \) \
     -alpha off -compose copy-opacity -composite \) -geometry +8+8 -compose over -composite \
  \( -size 184x184 radial-gradient:'#e8edff-#4b5db8' \
     \( -size 184x184 xc:black -fill white -draw 'circle 92,92 92,0' \) \
     -alpha off -compose copy-opacity -composite \) -geometry +36+36 -compose over -composite \
  -fill none -strokewidth 3 \
  -stroke '#ffffff5a' -draw 'circle 128,128 128,58' \
  -stroke '#ffffff40' -draw 'circle 128,128 128,78' \
  -stroke none -fill '#0b1033' -draw 'circle 128,128 128,102' \
  -fill '#f4c95d' -draw 'polygon 128,92 136,116 162,117 142,132 149,157 128,143 107,157 114,132 94,117 120,116' \
  -strip -define png:exclude-chunks=date,time PNG32:quorvane.png

# The Windows launcher's icon resource: the same picture at the sizes the shell asks for.
"${im[@]}" quorvane.png -define icon:auto-resize=256,48,32,16 quorvane.ico
