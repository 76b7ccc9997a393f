#!/usr/bin/env python3
"""Draw Tintora's program icon: data/icons/tintora-48.png and data/icons/tintora-256.png.

Pure Python 3 standard library (zlib and struct write the PNG files); the same bytes on every run.

  python3 scripts/make_icon.py [output-folder]     (default data/icons/)

The picture: a rounded tile holding a checkerboard texture whose light squares carry the colour
ramp of the sample texture (red falls downwards, green rises rightwards), and a lit sphere over
its lower right corner, the editor's 3D preview. Each pixel is the mean of 4 x 4 samples.
"""

from __future__ import annotations

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, os.pardir, "data", "icons")
SAMPLES = 4  # per axis


def _inside_rounded_square(u: float, v: float, margin: float, radius: float) -> bool:
    lo, hi = margin, 1.0 - margin
    if u < lo or u > hi or v < lo or v > hi:
        return False
    cu = min(max(u, lo + radius), hi - radius)
    cv = min(max(v, lo + radius), hi - radius)
    return (u - cu) ** 2 + (v - cv) ** 2 <= radius * radius


def colour_at(u: float, v: float) -> tuple[float, float, float, float]:
    """Straight RGBA (0..1) of the icon at (u, v) in [0, 1], v downwards."""
    # The sphere: centre (0.68, 0.68), radius 0.27, lit from the upper left.
    cx, cy, r = 0.68, 0.68, 0.27
    dx, dy = (u - cx) / r, (v - cy) / r
    d2 = dx * dx + dy * dy
    if d2 <= 1.0:
        nz = (1.0 - d2) ** 0.5
        light = (-0.45, -0.55, 0.70)
        norm = sum(c * c for c in light) ** 0.5
        diffuse = max(0.0, (dx * light[0] + dy * light[1] + nz * light[2]) / norm)
        specular = max(0.0, diffuse) ** 24
        base = (0.25, 0.55, 0.95)
        rgb = tuple(min(1.0, 0.12 * b + 0.88 * b * diffuse + 0.9 * specular) for b in base)
        return (*rgb, 1.0)
    # A soft shadow ring around the sphere.
    shadow = 1.0
    if d2 <= 1.35:
        shadow = 0.55 + 0.45 * (d2 - 1.0) / 0.35
    if not _inside_rounded_square(u, v, 0.06, 0.14):
        return (0.0, 0.0, 0.0, 0.0)
    # A dark border of the tile.
    if not _inside_rounded_square(u, v, 0.095, 0.11):
        return (0.16, 0.17, 0.20, 1.0)
    # The checkerboard: 4 x 4 squares, light ones with the sample's ramp.
    cell = int(u * 4.0) + int(v * 4.0)
    red, green = 1.0 - 0.75 * v, 0.2 + 0.8 * u
    blue = 0.25 + 0.5 * (u + v) / 2.0
    if cell % 2 == 1:
        red, green, blue = red * 0.3, green * 0.3, blue * 0.3
    return (red * shadow, green * shadow, blue * shadow, 1.0)


def render(size: int) -> bytes:
    """RGBA rows, premultiplied while averaging and straightened again."""
    rows = bytearray()
    for y in range(size):
        rows.append(0)  # PNG filter type: none
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (x + (sx + 0.5) / SAMPLES) / size
                    v = (y + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = colour_at(u, v)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0.0:
                rgb = [min(255, int(c / acc[3] * 255.0 + 0.5)) for c in acc[:3]]
            else:
                rgb = [0, 0, 0]
            rows += bytes((*rgb, min(255, int(alpha * 255.0 + 0.5))))
    return bytes(rows)


def png_bytes(size: int) -> bytes:
    def chunk(kind: bytes, data: bytes) -> bytes:
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(render(size), 9)) + chunk(b"IEND", b""))


def main() -> int:
    out = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT
    os.makedirs(out, exist_ok=True)
    for size in (48, 256):
        path = os.path.join(out, f"tintora-{size}.png")
        with open(path, "wb") as f:
            f.write(png_bytes(size))
        print(f"wrote {os.path.normpath(path)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
