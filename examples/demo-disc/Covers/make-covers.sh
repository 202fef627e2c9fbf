#!/usr/bin/env bash
# Draws the demo disc's cover pictures with ImageMagick (6 or 7) and DejaVu fonts (Debian:
# imagemagick fonts-dejavu-core, both installed by scripts/bootstrap.sh). The pictures are checked
# in; run this by hand after changing it.
#   front.jpg   1400 x 1400, the front cover (the start-up benchmark loads a picture this size)
#   back.jpg    1400 x 1400, the back cover
#   inside.bmp  336 x 469, 24 bits, the inside cover behind the menu (drawn below full opacity)
set -euo pipefail
cd "$(dirname "$0")"

if command -v magick >/dev/null 2>&1; then im=(magick); else im=(convert); fi
fonts=/usr/share/fonts/truetype/dejavu
bold=$fonts/DejaVuSans-Bold.ttf
light=$fonts/DejaVuSans-ExtraLight.ttf
serif=$fonts/DejaVuSerif-Italic.ttf
for f in "$bold" "$light" "$serif"; do
  [[ -r $f ]] || { echo "missing font $f (install fonts-dejavu-core)" >&2; exit 1; }
done

# Front: a night-blue field with the rings of a disc, lit from the upper left, and the title.
"${im[@]}" -size 1400x1400 gradient:'#0b1033-#3a1d6e' \
  \( -size 1400x1400 radial-gradient:'#ffffff60-#00000000' -geometry -350-350 \) -compose over -composite \
  -fill none -strokewidth 6 \
  -stroke '#8fa8ff90' -draw 'circle 700,760 700,260' \
  -stroke '#8fa8ff60' -draw 'circle 700,760 700,360' \
  -stroke '#8fa8ff40' -draw 'circle 700,760 700,460' \
  -stroke '#c9d4ff' -strokewidth 3 -fill '#0b1033' -draw 'circle 700,760 700,690' \
  -stroke none -fill '#f4c95d' -draw 'polygon 700,520 724,590 798,590 738,634 760,704 700,662 640,704 662,634 602,590 676,590' \
  -font "$bold" -fill '#f2f4ff' -pointsize 150 -gravity north -annotate +0+70 'QUORVANE +' \
  -font "$light" -fill '#c9d4ff' -pointsize 70 -gravity south -annotate +0+110 'D E M O   D I S C' \
  -strip -quality 85 -sampling-factor 4:2:0 front.jpg

# Back: a sea-green field with horizontal bands, the feature list and small print.
"${im[@]}" -size 1400x1400 gradient:'#0d3b36-#02120f' \
  -fill '#1f6f5f80' -draw 'rectangle 0,300 1400,420' \
  -fill '#1f6f5f50' -draw 'rectangle 0,470 1400,530' \
  -fill '#1f6f5f30' -draw 'rectangle 0,580 1400,610' \
  -fill '#e8b04a' -draw 'roundrectangle 120,700 1280,1110 40,40' \
  -fill '#02120f' -draw 'roundrectangle 130,710 1270,1100 34,34' \
  -font "$bold" -fill '#e6fff8' -pointsize 96 -gravity north -annotate +0+120 'On this disc' \
  -font "$serif" -fill '#e8b04a' -pointsize 72 -gravity northwest \
  -annotate +200+760 'Main Feature' -annotate +200+870 'Making Of' -annotate +200+980 'Trailer' \
  -font "$light" -fill '#9fd8c8' -pointsize 40 -gravity south \
  -annotate +0+120 'A sample disc for the Quorvane + launcher. Nothing on it is real.' \
  -strip -quality 85 -sampling-factor 4:2:0 back.jpg

# Inside: warm diagonal bands behind the menu, darker at the foot where the notes panel sits.
"${im[@]}" -size 336x469 gradient:'#4a1c0c-#120604' \
  -fill '#b8562a70' -draw 'polygon 0,0 150,0 0,200' \
  -fill '#e0853c50' -draw 'polygon 336,40 336,260 60,469 0,469 0,420' \
  -fill '#f3c27a30' -draw 'polygon 336,300 336,469 200,469' \
  -fill none -stroke '#f3c27a80' -strokewidth 2 -draw 'roundrectangle 8,8 327,312 14,14' \
  -stroke none -font "$bold" -fill '#f9e3c2' -pointsize 16 -gravity northeast -annotate +16+16 'inside' \
  -strip -type TrueColor BMP3:inside.bmp
