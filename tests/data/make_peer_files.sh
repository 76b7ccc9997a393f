#!/usr/bin/env bash
# Writes the peer image files: small images that ImageMagick 6 encodes in every variant the
# readers claim, each with the pixels ImageMagick itself decodes from it (<file>.rgba: R G B A
# bytes, 8 bits each, rows top to bottom). The tests read each file with our readers and compare.
#
#   tests/data/make_peer_files.sh [output-directory]     (default: tests/data/peer)
#
# The committed files were made with ImageMagick 6.9.11 (Debian 12). Where its decoder differs from
# ours by design, the test says so (ImageMagick widens 4-bit bitmap fields by shifting, 15 -> 240,
# and truncates 16-bit channels to 8 bits; we repeat the bits, 15 -> 255, and round). The image tests also run
# this script into a scratch directory when ImageMagick is installed, so the comparison holds for
# whatever version is present.
set -euo pipefail

out=${1:-"$(dirname "$0")/peer"}
mkdir -p "$out"
cd "$out"
im=convert-im6.q16  # the Debian name: another program called "convert" may come first on the PATH

# The source: 17 x 13 (odd sizes: row padding, partial DXT blocks), four coloured corners blended
# bilinearly, alpha falling from left to right, an opaque green rectangle and a fully
# transparent corner pixel.
$im -size 17x13 xc: -sparse-color bilinear '0,0 #ff2000 16,0 #ffe040 0,12 #1040ff 16,12 #f0f0f0' \
    \( -size 13x17 gradient:white-gray30 -rotate 90 \) -alpha off -compose CopyOpacity -composite \
    -fill '#20c040' -draw 'rectangle 4,3 9,7' -alpha on \
    -fill 'rgba(0,0,0,0)' -draw 'color 16,12 point' source.png

opaque() { $im source.png -background black -alpha remove -alpha off "$@"; }
rgba() { $im source.png "$@"; }

opaque -type TrueColor BMP3:bmp24.bmp
rgba BMP:bmp32.bmp
opaque -colors 200 -type Palette -compress None BMP3:bmp8.bmp
opaque -colors 16 -type Palette -compress None BMP3:bmp4.bmp
opaque -colors 2 -type Palette BMP3:bmp1.bmp
opaque -colors 200 -type Palette -compress RLE BMP3:bmp8_rle.bmp
opaque -define bmp:subtype=RGB565 BMP:bmp16_565.bmp
rgba -define bmp:subtype=ARGB4444 BMP:bmp16_4444.bmp

opaque -colors 50 PNG8:png_palette.png
opaque -colorspace Gray -depth 8 PNG:png_grey.png
rgba -colorspace Gray -depth 8 PNG:png_grey_alpha.png
opaque PNG48:png_rgb16.png
rgba PNG64:png_rgba16.png
rgba PNG32:png_rgba.png

opaque TGA:tga24.tga
rgba TGA:tga32.tga
rgba -compress RLE TGA:tga32_rle.tga
opaque -colors 50 -type Palette TGA:tga_cmap.tga
opaque -colors 50 -type Palette -compress RLE TGA:tga_cmap_rle.tga
opaque -colorspace Gray -type Grayscale TGA:tga_grey.tga

opaque -quality 90 JPG:jpg.jpg
opaque -colorspace Gray -quality 90 JPG:jpg_grey.jpg

rgba -define dds:compression=dxt1 -define dds:mipmaps=0 DDS:dds_dxt1.dds
rgba -define dds:compression=dxt5 -define dds:mipmaps=0 DDS:dds_dxt5.dds
rgba -define dds:compression=none -define dds:mipmaps=0 DDS:dds_argb.dds
opaque -define dds:compression=none -define dds:mipmaps=0 DDS:dds_rgb.dds
# ImageMagick makes mipmaps for power-of-two sizes only.
rgba -resize '16x16!' -define dds:compression=dxt5 -define dds:mipmaps=4 DDS:dds_dxt5_mips.dds
rgba -resize '16x16!' -define dds:compression=none -define dds:mipmaps=4 DDS:dds_argb_mips.dds

rm source.png
# ImageMagick 6 keeps TGA rows in stored order and records the origin as an orientation: apply it.
for f in *.bmp *.png *.tga *.jpg *.dds; do
    $im "$f" -auto-orient -depth 8 "rgba:$f.rgba"
done
