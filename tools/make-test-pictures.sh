#!/usr/bin/env bash
# Writes the test pictures of tests/pictures: small files (37 x 23, an odd size on purpose) in
# the variants real programs write, each by a real encoder from Debian (scripts/setup.sh installs
# them). Every colour picture is flat #cc6633 (204, 102, 51) and every grey one flat #8c8c8c
# (140), so the drawn colour is known whatever the encoder's layout. The files are committed:
# the tests read them and never run an encoder, so an encoder's next version changes nothing
# until this script runs again. Where no Debian encoder writes a variant, the line says how the
# script makes it from an encoder's file.
#   bash tools/make-test-pictures.sh
set -euo pipefail
# The Debian encoders, not whatever else a PATH holds under the same names.
export PATH=/usr/bin:/bin
out=$(cd "$(dirname "$0")/../tests/pictures" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

colour='#cc6633'
grey='#8c8c8c'
size=37x23
ppmmake rgb:cc/66/33 37 23 >colour.ppm
pgmmake 0.549 37 23 >grey.pgm # 0.549 x 255 = 140
# No time stamps in ImageMagick's PNG files, so that running this again changes nothing.
png=(convert -size "$size" "xc:$colour" -define png:exclude-chunks=date,time)
pnggrey=(convert -size "$size" "xc:$grey" -type Grayscale -define png:exclude-chunks=date,time)

# JPEG: libjpeg-turbo's cjpeg, and ImageMagick for CMYK.
cjpeg -quality 95 colour.ppm >"$out/jpg-baseline.jpg"
cjpeg -quality 95 -progressive colour.ppm >"$out/jpg-progressive.jpg"
cjpeg -quality 95 -restart 1B colour.ppm >"$out/jpg-restart-every-block.jpg"
cjpeg -quality 95 -sample 1x1 colour.ppm >"$out/jpg-no-subsampling.jpg"
cjpeg -quality 95 -arithmetic colour.ppm >"$out/jpg-arithmetic.jpg"
cjpeg -quality 95 grey.pgm >"$out/jpg-grey.jpg"
"${png[@]}" -quality 95 -colorspace CMYK "$out/jpg-cmyk.jpg"

# PNG: ImageMagick, netpbm's pnmtopng and Pillow.
"${png[@]}" -depth 16 PNG48:"$out/png-rgb16.png"
"${png[@]}" -alpha set -depth 16 PNG64:"$out/png-rgba16.png"
"${pnggrey[@]}" -define png:bit-depth=16 -define png:color-type=0 "$out/png-grey16.png"
pnmtopng -interlace colour.ppm >"$out/png-interlaced.png"
"${png[@]}" -alpha set PNG32:"$out/png-rgba.png"
"${pnggrey[@]}" -alpha set -define png:color-type=4 "$out/png-grey-alpha.png"
# A palette of two entries, the second transparent (a tRNS chunk), both used.
python3 - "$out/png-palette-transparent.png" <<'EOF'
import sys
from PIL import Image
picture = Image.new("P", (37, 23), 0)
picture.putpalette([204, 102, 51, 204, 102, 51])
for x in range(37):
    picture.putpixel((x, 0), 1)
picture.save(sys.argv[1], transparency=1)
EOF

# BMP: ImageMagick writes V5 and V3 headers and RLE8, netpbm's ppmtobmp 4-bit rows; the V4
# header, RLE4 and top-down rows are made by this script from those files.
"${png[@]}" "$out/bmp-v5.bmp"
"${png[@]}" -alpha set "$out/bmp-v5-alpha-bitfields.bmp"
"${png[@]}" BMP3:"$out/bmp-v3.bmp"
"${png[@]}" -type palette -compress RLE BMP3:"$out/bmp-rle8.bmp"
"${png[@]}" BMP2:"$out/bmp-os2.bmp"
ppmtobmp -bpp 4 colour.ppm >four-bit.bmp 2>/dev/null
python3 - "$out" four-bit.bmp <<'EOF'
import struct, sys
out = sys.argv[1]
def at(data, offset, fmt, value):
    return data[:offset] + struct.pack(fmt, value) + data[offset + struct.calcsize(fmt):]
# V4: ImageMagick's V5 file without the V5 fields (intent, profile offset and size, reserved).
v5 = open(out + "/bmp-v5.bmp", "rb").read()
v4 = v5[:14 + 108] + v5[14 + 124:]
v4 = at(at(at(v4, 2, "<I", len(v4)), 10, "<I", struct.unpack_from("<I", v5, 10)[0] - 16), 14, "<I", 108)
open(out + "/bmp-v4.bmp", "wb").write(v4)
# Top-down rows: the V3 file with its height negated (a flat picture reads the same both ways).
v3 = open(out + "/bmp-v3.bmp", "rb").read()
open(out + "/bmp-top-down.bmp", "wb").write(at(v3, 22, "<i", -23))
# RLE4: ppmtobmp's 4-bit rows as runs (a 37-pixel run, an end of line; an end of picture).
plain = open(sys.argv[2], "rb").read()
offset = struct.unpack_from("<I", plain, 10)[0]
index = plain[offset] >> 4
runs = (bytes([37, index * 17, 0, 0]) * 23)[:-2] + bytes([0, 1])
rle = plain[:offset] + runs
rle = at(at(at(rle, 2, "<I", len(rle)), 30, "<I", 2), 34, "<I", len(runs))
open(out + "/bmp-rle4.bmp", "wb").write(rle)
EOF

# TGA: ImageMagick (run-length and not, grey, true colour with alpha) and Pillow (colour-mapped).
"${png[@]}" -compress RLE "$out/tga-rle-colour.tga"
"${pnggrey[@]}" -compress RLE "$out/tga-rle-grey.tga"
"${png[@]}" -alpha set -compress None "$out/tga-rgba.tga"
python3 - "$out" <<'EOF'
import sys
from PIL import Image
picture = Image.new("P", (37, 23), 1)
picture.putpalette([0, 0, 0, 204, 102, 51])
picture.save(sys.argv[1] + "/tga-rle-colour-mapped.tga", rle=True)
picture.save(sys.argv[1] + "/tga-colour-mapped.tga", rle=False)
EOF

# TIFF: ImageMagick writes the compressions with alpha, libtiff's tiffcp the tiles and pages.
for compression in LZW Zip RLE; do
  "${png[@]}" -alpha set -compress "$compression" "$out/tif-alpha-${compression,,}.tif"
done
mv "$out/tif-alpha-zip.tif" "$out/tif-alpha-deflate.tif"
mv "$out/tif-alpha-rle.tif" "$out/tif-alpha-packbits.tif"
"${png[@]}" -compress None plain.tif
tiffcp -c none -t -w 16 -l 16 plain.tif "$out/tif-tiled.tif"
tiffcp -c lzw plain.tif plain.tif "$out/tif-two-pages.tif"
"${pnggrey[@]}" -compress LZW "$out/tif-grey-lzw.tif"

# GIF: gifsicle interlaces; Pillow writes the animation: the later frames, changed in a pixel or
# two, come with their own (local) colour tables, which hold the colour at other indices. One
# pixel of the first frame is white.
"${png[@]}" plain.gif
gifsicle -i plain.gif >"$out/gif-interlaced.gif"
python3 - "$out/gif-animated-local-tables.gif" <<'EOF'
import sys
from PIL import Image
frames = []
for at in (0, 1, 2):
    frame = Image.new("P", (37, 23), at)
    palette = [0, 0, 0] * 4
    palette[3 * at:3 * at + 3] = [204, 102, 51]
    other = (at + 1) % 4
    palette[3 * other:3 * other + 3] = [(255, 255, 255), (0, 0, 255), (0, 255, 0)][at]
    frame.putpalette(palette)
    frame.putpixel((at, 0), other)
    frames.append(frame)
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=100, loop=0,
               optimize=False, interlace=False)
EOF

# PSD: ImageMagick (16 bits a sample unless told), whose first picture is the merged one and the rest are layers.
convert -size "$size" "xc:$colour" \( -size "$size" "xc:$colour" \) \
  \( -size 20x10 "xc:$colour" -alpha set \) -depth 8 "$out/psd-layered.psd"
"${png[@]}" -compress None "$out/psd-raw-16-bit.psd"
"${pnggrey[@]}" "$out/psd-grey.psd"

# ICO: ImageMagick (BMP entries below 256 pixels, a PNG entry at 256), Pillow (PNG entries).
"${png[@]}" -define icon:auto-resize=256,48,32,16 "$out/ico-bmp-and-png-entries.ico"
"${png[@]}" -define icon:auto-resize=48,32,16 "$out/ico-bmp-entries.ico"
python3 - "$out/ico-png-entries.ico" <<'EOF'
import sys
from PIL import Image
Image.new("RGBA", (48, 48), (204, 102, 51, 255)).save(sys.argv[1], sizes=[(16, 16), (32, 32), (48, 48)])
EOF

# PNM: netpbm. The two plain-text files at the end hold every sample on one line (about 60,000
# and 180,000 characters): pnmtoplainpnm wraps its lines, so this script joins them.
pamdepth 65535 colour.ppm >"$out/ppm-raw16.ppm"
pamdepth 65535 grey.pgm >"$out/pgm-raw16.pgm"
pnmtoplainpnm colour.ppm >"$out/ppm-plain.ppm"
pnmtoplainpnm grey.pgm >"$out/pgm-plain.pgm"
for kind in pgm ppm; do
  if [ $kind = pgm ]; then pgmmake 0.549 128 128; else ppmmake rgb:cc/66/33 128 128; fi |
    pnmtoplainpnm >wrapped
  { head -n 3 wrapped; tail -n +4 wrapped | tr '\n' ' '; echo; } >"$out/$kind-plain-one-line.$kind"
done

# PCX: ImageMagick (three planes, and a 256-colour palette) and netpbm's ppmtopcx. Both write
# 37 bytes a row for 37 pixels, an odd count DevIL refuses (the format wants it even); the
# 38-pixel-wide files are what DevIL reads.
for width in 37 38; do
  convert -size ${width}x23 "xc:$colour" "$out/pcx-$width-three-planes.pcx"
  convert -size ${width}x23 "xc:$colour" -type palette "$out/pcx-$width-palette.pcx"
  ppmmake rgb:cc/66/33 $width 23 | ppmtopcx -8bit >"$out/pcx-$width-ppmtopcx-palette.pcx" 2>/dev/null
done

# SGI: netpbm's pnmtosgi (1 and 3 channels), ImageMagick (4 channels; run-length unless told).
for kind in verbatim rle; do
  pnmtosgi -$kind grey.pgm >"$out/sgi-$kind-1-channel.sgi"
  pnmtosgi -$kind colour.ppm >"$out/sgi-$kind-3-channels.sgi"
done
"${png[@]}" -alpha set -depth 8 -compress RLE "$out/sgi-rle-4-channels.sgi"
"${png[@]}" -alpha set -depth 8 -compress None "$out/sgi-verbatim-4-channels.sgi"

# HDR: ImageMagick writes run-length rows when a row is 8 to 32767 pixels wide. Its samples
# are linear: the sRGB colour is taken as linear so that 204 / 255 = 0.8 is what is stored.
"${png[@]}" -set colorspace RGB "$out/hdr-rle.hdr"

echo "make-test-pictures: $(ls "$out" | wc -l) files, $(du -cb "$out" | tail -n 1 | cut -f 1) bytes"
