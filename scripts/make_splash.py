#!/usr/bin/env python3
"""Draws data/splash.jpg, the picture of the start-up splash window (480 x 300 pixels).

The picture is the project's own: a dark blue backdrop with a faint grid, a lit sphere wearing a
checkerboard texture (what the editor's 3D preview shows), the program's name, and a dark band
along the bottom edge where the splash window writes its progress text in white.

The pixels are computed here (standard library only) and written as a PPM; ImageMagick 6
(convert-im6.q16, Debian's name) sets the title text in DejaVu Sans and writes the JPEG.

    python3 scripts/make_splash.py
"""

import math
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

WIDTH, HEIGHT = 480, 300
BAND = 34  # height of the dark bottom band
ROOT = Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "data" / "splash.jpg"

SPHERE_X, SPHERE_Y, SPHERE_R = 360.0, 128.0, 92.0
LIGHT = (-0.45, -0.55, 0.70)  # towards the viewer, from the upper left


def clamp(value):
    return max(0, min(255, int(round(value))))


def normalise(v):
    length = math.sqrt(sum(c * c for c in v))
    return tuple(c / length for c in v)


def backdrop(x, y):
    t = y / HEIGHT
    r, g, b = 18 + 20 * t, 28 + 30 * t, 58 + 50 * t
    if x % 24 == 0 or y % 24 == 0:
        r, g, b = r + 10, g + 14, b + 22
    return r, g, b


def sphere(x, y):
    """The colour of the sphere at (x, y), or None outside it (2 x 2 supersampled edge)."""
    hits = []
    for sx in (0.25, 0.75):
        for sy in (0.25, 0.75):
            dx = (x + sx - SPHERE_X) / SPHERE_R
            dy = (y + sy - SPHERE_Y) / SPHERE_R
            d2 = dx * dx + dy * dy
            if d2 > 1.0:
                hits.append(None)
                continue
            nz = math.sqrt(1.0 - d2)
            # Texture coordinates on a sphere turned a little towards the light.
            u = math.atan2(dx, nz) / math.pi + 0.5 + 0.08
            v = math.acos(max(-1.0, min(1.0, dy))) / math.pi
            check = (int(u * 8) + int(v * 8)) % 2
            base = (236, 168, 64) if check else (70, 110, 190)
            light = normalise(LIGHT)
            diffuse = max(0.0, dx * light[0] + dy * light[1] + nz * light[2])
            # Specular highlight (Blinn, viewer along +z).
            half = normalise((light[0], light[1], light[2] + 1.0))
            specular = max(0.0, dx * half[0] + dy * half[1] + nz * half[2]) ** 40
            shade = 0.22 + 0.78 * diffuse
            hits.append(tuple(c * shade + 200 * specular for c in base))
    inside = [h for h in hits if h is not None]
    if not inside:
        return None
    return inside, len(inside) / len(hits)


def pixel(x, y):
    if y >= HEIGHT - BAND:
        return (12, 16, 30)
    r, g, b = backdrop(x, y)
    # Soft shadow under the sphere.
    sx, sy = (x - SPHERE_X - 18) / (SPHERE_R * 1.05), (y - SPHERE_Y - 104) / (SPHERE_R * 0.22)
    shadow = max(0.0, 1.0 - (sx * sx + sy * sy))
    r, g, b = r * (1 - 0.45 * shadow), g * (1 - 0.45 * shadow), b * (1 - 0.45 * shadow)
    hit = sphere(x, y)
    if hit is not None:
        colours, coverage = hit
        mean = [sum(c[k] for c in colours) / len(colours) for k in range(3)]
        r = r * (1 - coverage) + mean[0] * coverage
        g = g * (1 - coverage) + mean[1] * coverage
        b = b * (1 - coverage) + mean[2] * coverage
    return clamp(r), clamp(g), clamp(b)


def main():
    convert = shutil.which("convert-im6.q16") or shutil.which("convert")
    if convert is None:
        print("make_splash: ImageMagick (convert-im6.q16) is needed", file=sys.stderr)
        return 1
    rows = bytearray()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            rows.extend(pixel(x, y))
    with tempfile.TemporaryDirectory() as tmp:
        ppm = Path(tmp) / "splash.ppm"
        ppm.write_bytes(b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT) + bytes(rows))
        subprocess.run(
            [
                convert, str(ppm),
                "-font", "DejaVu-Sans-Bold", "-pointsize", "52", "-fill", "white",
                "-annotate", "+34+118", "Tintora",
                "-font", "DejaVu-Sans", "-pointsize", "15", "-fill", "#c8d4f0",
                "-annotate", "+37+146", "Texture editor for Zarvell3D",
                "-pointsize", "12", "-fill", "#8c9cc4",
                "-annotate", "+37+236", "Version 0.1",
                "-strip", "-quality", "90", str(OUTPUT),
            ],
            check=True,
        )
    print(f"make_splash: wrote {OUTPUT}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
