#!/usr/bin/env python3
"""Make Tintora's bundled sample textures (data/samples/*.bmp).

Pure Python 3 standard library: every file is written byte by byte with struct, and the output is
the same on every run and machine (no randomness, no floating-point formatting in the bytes).

  python3 scripts/make_samples.py           write the files into data/samples/
  python3 scripts/make_samples.py --check   rebuild them in memory and fail if a committed file
                                            differs; when ImageMagick 6 is installed, also have it
                                            decode each file and compare geometry, channels and
                                            a few pixels with what this script meant to write.

BMP layout written here (all fields little-endian):
  file header, 14 bytes: "BM", file size (u32), two reserved u16 (0), offset of the pixel rows (u32)
  24-bit files: BITMAPINFOHEADER, 40 bytes, BI_RGB; rows of B G R bytes, each row padded with
    zero bytes to a multiple of 4
  32-bit file: BITMAPV4HEADER, 108 bytes, BI_BITFIELDS with masks R 0x00FF0000, G 0x0000FF00,
    B 0x000000FF, A 0xFF000000 (so readers honour the alpha byte), colour space 'sRGB';
    rows of B G R A bytes
  positive height: rows are stored bottom row first.
"""

from __future__ import annotations

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from typing import Callable

Pixel = tuple  # (r, g, b) or (r, g, b, a), each 0..255

SAMPLES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "data", "samples")

BI_RGB = 0
BI_BITFIELDS = 3
LCS_SRGB = 0x73524742  # 'sRGB'
PELS_PER_METRE = 2835  # 72 dpi


def _clamp(v: float) -> int:
    return max(0, min(255, int(v)))


def bmp_bytes(width: int, height: int, pixel: Callable[[int, int], Pixel], alpha: bool) -> bytes:
    """Encode an image given as pixel(x, y) -> (r, g, b[, a]), y = 0 at the top."""
    bpp = 32 if alpha else 24
    row_size = (width * bpp // 8 + 3) & ~3
    pad = row_size - width * bpp // 8
    info_size = 108 if alpha else 40
    offset = 14 + info_size
    image_size = row_size * height

    out = bytearray()
    out += struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bpp,
                       BI_BITFIELDS if alpha else BI_RGB, image_size,
                       PELS_PER_METRE, PELS_PER_METRE, 0, 0)
    if alpha:
        out += struct.pack("<IIIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, LCS_SRGB)
        out += bytes(36)  # CIE endpoints, unused for sRGB
        out += bytes(12)  # gamma red, green, blue, unused for sRGB
    assert len(out) == offset

    for y in range(height - 1, -1, -1):  # bottom row first
        for x in range(width):
            p = pixel(x, y)
            out += bytes((p[2], p[1], p[0], p[3])) if alpha else bytes((p[2], p[1], p[0]))
        out += bytes(pad)
    assert len(out) == offset + image_size
    return bytes(out)


def _hash(*values: int) -> int:
    """A small deterministic integer hash (0..2^32-1)."""
    h = 2166136261
    for v in values:
        h ^= v & 0xFFFFFFFF
        h = (h * 16777619) & 0xFFFFFFFF
        h ^= h >> 13
    return h


# checker.bmp: 256 x 256, an 8 x 8 board of 32-pixel squares. Light squares carry a two-way
# gradient (red falls from top to bottom, green rises from left to right, blue rises along the
# diagonal); dark squares are the same colour at 30 %. No two corners look alike, so flips,
# rotations and channel swaps show at a glance.
def checker_pixel(x: int, y: int) -> Pixel:
    r = 255 - y
    g = x
    b = (x + y) // 2
    if ((x // 32) + (y // 32)) % 2 == 1:
        r, g, b = r * 3 // 10, g * 3 // 10, b * 3 // 10
    return (r, g, b)


# gradient_alpha.bmp: 256 x 128, straight (not premultiplied) alpha equal to x, so column 0 is
# fully transparent and column 255 opaque. Colour: a hue sweep from left to right, darkening
# towards the bottom rows.
def gradient_alpha_pixel(x: int, y: int) -> Pixel:
    hue = x * 6.0 / 256.0
    sector = int(hue)
    f = hue - sector
    up, down = _clamp(255 * f), _clamp(255 * (1 - f))
    r, g, b = [(255, up, 0), (down, 255, 0), (0, 255, up),
               (0, down, 255), (up, 0, 255), (255, 0, down)][sector]
    shade = 255 - y  # 255 at the top, 128 at the bottom
    return (r * shade // 255, g * shade // 255, b * shade // 255, x)


# tile.bmp: 640 x 480, a seamless brick wall (80 x 40 bricks, rows offset by half a brick, 4-pixel
# mortar), each brick with its own tint, bevelled edges and fine grain. The size is not a power of
# two, and the picture tiles without seams in both directions.
BRICK_W, BRICK_H, MORTAR = 80, 40, 4
TILE_W, TILE_H = 640, 480


def _triangle(t: int, period: int) -> int:
    """0 at t = 0, rising to 40 at half a period, back to 0 at a full period."""
    t %= period
    return 80 * min(t, period - t) // period


def tile_pixel(x: int, y: int) -> Pixel:
    row = y // BRICK_H
    shift = (BRICK_W // 2) if row % 2 else 0
    bx = (x + shift) % TILE_W
    col = bx // BRICK_W
    lx, ly = bx % BRICK_W, y % BRICK_H
    grain = _hash(x, y) % 17 - 8
    if lx < MORTAR or ly < MORTAR:
        m = 168 + grain // 2
        return (_clamp(m), _clamp(m - 4), _clamp(m - 14))
    tint = _hash(col, row, 7) % 48
    r, g, b = 150 + tint, 62 + tint // 2, 44 + tint // 3
    # Bevel: light from the top left.
    ex, ey = lx - MORTAR, ly - MORTAR
    iw, ih = BRICK_W - MORTAR, BRICK_H - MORTAR
    if ex < 3 or ey < 3:
        light = 36
    elif ex >= iw - 3 or ey >= ih - 3:
        light = -40
    else:
        light = 0
    # A soft wave across the wall (integer triangle waves whose periods divide the tile, so the
    # edges meet and the bytes do not depend on the machine's sin()).
    wave = _triangle(x, TILE_W // 2) * _triangle(y, TILE_H) // 80 - 10
    d = light + grain + wave
    return (_clamp(r + d), _clamp(g + d), _clamp(b + d))


# odd_37x23.bmp: 37 x 23, 24-bit, so every row carries 1 byte of padding. Each pixel is a formula
# of its position, so tests can check every pixel: r = 7x mod 256, g = 11y mod 256,
# b = (5(x + y) + 3) mod 256.
def odd_pixel(x: int, y: int) -> Pixel:
    return ((7 * x) % 256, (11 * y) % 256, (5 * (x + y) + 3) % 256)


SAMPLES = [
    # name, width, height, pixel function, has alpha
    ("checker.bmp", 256, 256, checker_pixel, False),
    ("gradient_alpha.bmp", 256, 128, gradient_alpha_pixel, True),
    ("tile.bmp", TILE_W, TILE_H, tile_pixel, False),
    ("odd_37x23.bmp", 37, 23, odd_pixel, False),
]


def _imagemagick_pixel(tool: str, path: str, x: int, y: int) -> tuple[int, ...]:
    """Decode one pixel with ImageMagick 6, as 8-bit channel values."""
    out = subprocess.run([tool, path, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         check=True, capture_output=True, text=True).stdout
    # Line 2 looks like "0,0: (255,0,0,128)  #FF000080  srgba(...)".
    values = out.splitlines()[1].split("(", 1)[1].split(")", 1)[0]
    return tuple(int(float(v)) for v in values.split(","))


def _check_with_imagemagick(name: str, width: int, height: int,
                            pixel: Callable[[int, int], Pixel], alpha: bool, path: str) -> list:
    convert, identify = shutil.which("convert-im6.q16"), shutil.which("identify-im6.q16")
    if not convert or not identify:
        return []
    errors = []
    geometry = subprocess.run([identify, "-format", "%w %h %[channels]", path],
                              check=True, capture_output=True, text=True).stdout.split()
    if geometry[:2] != [str(width), str(height)]:
        errors.append(f"{name}: ImageMagick reads {geometry[:2]}, expected {width} x {height}")
    has_alpha = geometry[2].endswith("a") if len(geometry) > 2 else False
    if has_alpha != alpha:
        errors.append(f"{name}: ImageMagick channels '{geometry[2:]}', alpha expected: {alpha}")
    probes = {(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1),
              (width // 2, height // 3), (width // 3, height // 2)}
    for x, y in sorted(probes):
        got = _imagemagick_pixel(convert, path, x, y)
        want = tuple(pixel(x, y))
        if got[:len(want)] != want:
            errors.append(f"{name}: pixel ({x}, {y}) decodes as {got}, expected {want}")
    return errors


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare committed files with freshly made ones; write nothing")
    parser.add_argument("--out", default=SAMPLES_DIR, help="folder to write into")
    args = parser.parse_args()

    errors = []
    with tempfile.TemporaryDirectory() as scratch:
        for name, width, height, pixel, alpha in SAMPLES:
            data = bmp_bytes(width, height, pixel, alpha)
            path = os.path.join(args.out, name)
            if args.check:
                try:
                    with open(path, "rb") as f:
                        committed = f.read()
                except OSError as e:
                    errors.append(f"{name}: cannot read {path}: {e}")
                    continue
                if committed != data:
                    errors.append(f"{name}: differs from what scripts/make_samples.py makes")
                fresh = os.path.join(scratch, name)
                with open(fresh, "wb") as f:
                    f.write(data)
                errors += _check_with_imagemagick(name, width, height, pixel, alpha, fresh)
            else:
                os.makedirs(args.out, exist_ok=True)
                with open(path, "wb") as f:
                    f.write(data)
                print(f"wrote {os.path.normpath(path)} ({width} x {height}, "
                      f"{32 if alpha else 24}-bit, {len(data)} bytes)")

    for e in errors:
        print(f"make_samples: {e}", file=sys.stderr)
    if args.check and not errors:
        print(f"make_samples: {len(SAMPLES)} sample files match their generator")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
