#!/bin/sh
# Regenerates the test pictures with ImageMagick from raw pixels that this script writes itself,
# so the tests can compare what a decoder gives with exactly what the encoder was given.
#   sharp.rgb    20 x 12, 8-bit R, G, B, every pixel different: bitmaps (exact comparison)
#   alpha.rgba   16 x 16, 8-bit R, G, B, A with alpha 0, 128 and 255 areas: icons, 32-bit bitmaps
#   smooth.rgb   40 x 24 gradients: JPEG (compared within JPEG's tolerance)
# and the damaged files of ../malformed/.
set -e
cd "$(dirname "$0")"
python3 - <<'PY'
sharp = bytearray()
for y in range(12):
    for x in range(20):
        sharp += bytes([(x * 13) & 255, (y * 21) & 255, (x * y * 7 + 5) & 255])
open("sharp.rgb", "wb").write(sharp)
alpha = bytearray()
for y in range(16):
    for x in range(16):
        a = 0 if x < 4 else 128 if x < 8 else 255
        alpha += bytes([(x * 16) & 255, (y * 16) & 255, 200, a])
open("alpha.rgba", "wb").write(alpha)
smooth = bytearray()
for y in range(24):
    for x in range(40):
        smooth += bytes([x * 6, y * 10, 255 - x * 3])
open("smooth.rgb", "wb").write(smooth)
PY
S="-size 20x12 -depth 8 rgb:sharp.rgb"
A="-size 16x16 -depth 8 rgba:alpha.rgba"
M="-size 40x24 -depth 8 rgb:smooth.rgb"
convert $S -type TrueColor BMP3:bmp24.bmp
convert $A -type TrueColorAlpha -define bmp:format=bmp4 bmp32.bmp
convert $S -type Palette -colors 256 BMP3:bmp8.bmp
convert $A icon.ico
convert $M -quality 95 -sampling-factor 1x1 baseline.jpg
convert $M -quality 95 -sampling-factor 1x1 -interlace Plane progressive.jpg
convert $M -colorspace Gray -depth 8 gray:smooth.gray
convert -size 40x24 -depth 8 gray:smooth.gray -quality 95 gray.jpg
convert $M -quality 95 -colorspace CMYK cmyk.jpg
cp baseline.jpg UPPER.JPG
convert $M png-named.png

cd ../malformed
python3 - <<'PY'
base = open("../pictures/baseline.jpg", "rb").read()
open("truncated.jpg", "wb").write(base[: len(base) // 2])
open("empty.jpg", "wb").write(b"")
open("png-named.jpg", "wb").write(open("../pictures/png-named.png", "rb").read())
def with_size(data, w, h):
    # Rewrites the frame header (SOF0 or SOF2) with another size.
    i = 2
    while i < len(data):
        marker, length = data[i + 1], (data[i + 2] << 8) | data[i + 3]
        if marker in (0xC0, 0xC2):
            d = bytearray(data)
            d[i + 5:i + 9] = bytes([h >> 8, h & 255, w >> 8, w & 255])
            return bytes(d)
        i += 2 + length
    raise SystemExit("no frame header")
open("huge-claim.jpg", "wb").write(with_size(base, 65500, 65500))
open("zero.jpg", "wb").write(with_size(base, 0, 0))
bmp = bytearray(open("../pictures/bmp24.bmp", "rb").read())
huge = bytearray(bmp); huge[18:26] = (65535).to_bytes(4, "little") + (65535).to_bytes(4, "little")
open("huge-claim.bmp", "wb").write(huge)
zero = bytearray(bmp); zero[18:26] = bytes(8)
open("zero.bmp", "wb").write(zero)
open("truncated.bmp", "wb").write(bmp[: len(bmp) // 2])
open("garbage.ico", "wb").write(b"\0\0\1\0\1\0" + bytes(range(40)))
PY
