#!/usr/bin/env python3
"""Pixel checks of the end-to-end scripts: screenshots and saved files against what they should
show. Images are decoded with ImageMagick 6 (convert-im6.q16) into 8-bit RGB(A).

  e2e_image.py first-row SHOT X Y0 Y1 R,G,B
      the first row y in [Y0, Y1) whose pixel (X, y) has the colour; exit 1 when none
  e2e_image.py find SHOT X0 Y0 X1 Y1 EXPECTED
      "x y": the top-left corner of the first place in the box where the 3 x 2 top-left texels of
      EXPECTED appear; exit 1 when nowhere
  e2e_image.py window SHOT X Y W H R,G,B
      "left top width height" of the window area around a picture at (X, Y), W x H: the picture
      and the runs of background colour R,G,B that reach out from the middle of each of its edges
  e2e_image.py same SHOT X Y EXPECTED [TOLERANCE]
      the EXPECTED picture must be at (X, Y) of the screenshot, every pixel within TOLERANCE
      (default 0) in each channel
  e2e_image.py tiled SHOT X Y W H EXPECTED
      the screenshot's box must hold EXPECTED repeated from its top-left corner, exactly
  e2e_image.py stretched SHOT X Y W H EXPECTED {nearest|filtered}
      the box must hold EXPECTED stretched over it less its last column and row; see Stretch
  e2e_image.py differ SHOT_A SHOT_B X Y W H
      the number of pixels of the box that differ between the two screenshots
  e2e_image.py lit SHOT X Y W H
      the number of pixels of the box that are not (nearly) black
  e2e_image.py file FILE EXPECTED
      a saved image file must hold exactly EXPECTED (size and RGB of every pixel)
  e2e_image.py off-colour SHOT X Y W H R,G,B TOLERANCE
      the number of pixels of the box farther than TOLERANCE in some channel from the colour
  e2e_image.py write-marks FILE
      writes the picture "marks" as a 24-bit bitmap

EXPECTED names a picture: "checker", "checker-inverted" (the sample checker.bmp and its
inverse, from scripts/make_samples.py), "marks" (see marks_pixel), "marks-keyed" (the alpha the
colour key MARK_KEY gives "marks" at the range 2, as grey levels), "marks-green" (the green
channel of "marks" as grey levels), "colour:R,G,B" (3 x 2 pixels of one colour),
"alpha-grey:FILE" (the alpha channel of FILE as grey levels), "over-black:FILE" (FILE drawn by
its alpha over black, rounded to nearest), "over-checker:FILE" (the same over the checkerboard of
the texture views), "zoom:N:NAME" (the picture NAME with each pixel an N x N square),
"shot:SHOT:X:Y:W:H" (a box of a screenshot), or any image file.
"""

from __future__ import annotations

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_samples  # noqa: E402

CONVERT = "convert-im6.q16"


class Image:
    def __init__(self, width: int, height: int, channels: int, data: bytes):
        self.width, self.height, self.channels, self.data = width, height, channels, data

    def at(self, x: int, y: int) -> tuple[int, ...]:
        i = self.channels * (y * self.width + x)
        return tuple(self.data[i:i + self.channels])

    def rgb(self, x: int, y: int) -> tuple[int, int, int]:
        return self.at(x, y)[:3]

    def row(self, x: int, y: int, count: int) -> bytes:
        """count pixels from (x, y) as RGB bytes (RGB images only)."""
        i = 3 * (y * self.width + x)
        return self.data[i:i + 3 * count]


def box(path: str, x: int, y: int, w: int, h: int) -> Box:
    return Box(decode(path, crop=(x, y, w, h)), x, y)


class Box:
    """A part of a screenshot: pixel (x, y) of the screen is pixel (x - left, y - top) here."""

    def __init__(self, image: "Image", left: int, top: int):
        self.image, self.left, self.top = image, left, top
        self.width, self.height = image.width, image.height

    def rgb(self, x: int, y: int) -> tuple[int, int, int]:
        return self.image.rgb(x - self.left, y - self.top)

    def row(self, x: int, y: int, count: int) -> bytes:
        return self.image.row(x - self.left, y - self.top, count)


def decode(path: str, alpha: bool = False, crop: tuple[int, int, int, int] | None = None) -> Image:
    """An image file, or the box (x, y, w, h) of it, as 8-bit RGB (or RGBA) rows."""
    kind = "rgba" if alpha else "rgb"
    source = [path] + (["-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1]), "+repage"]
                       if crop else [])
    size = subprocess.run([CONVERT, *source, "-format", "%w %h", "info:"], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = subprocess.run([CONVERT, *source, "-depth", "8", f"{kind}:-"], check=True,
                          capture_output=True).stdout
    channels = 4 if alpha else 3
    if len(data) != width * height * channels:
        sys.exit(f"{path}: decoded {len(data)} bytes, expected {width * height * channels}")
    return Image(width, height, channels, data)


def from_function(width: int, height: int, pixel) -> Image:
    data = bytearray()
    for y in range(height):
        for x in range(width):
            data += bytes(pixel(x, y)[:3])
    return Image(width, height, 3, bytes(data))


# "marks": 256 x 256, made for the alpha and normal-map steps. Red is flat over wide vertical
# bands (255, 160, 100, 160, 255: the left and right edges meet, so the outer bands stay flat
# however the texture's edges are addressed) with a sunken disc of red 40 in the middle, so a
# normal map of the red channel is (128, 128, 255) away from the band edges and the disc's rim,
# and opaque (its alpha is the height) in the outer bands. Green falls from top to bottom, blue
# rises slowly. Four 16 x 16 squares carry the key colour MARK_KEY, and
# four 8 x 8 patches lie near it: two within the colour range 2 of the colour-key tool (distances
# 2 and 1.73), two just outside (2.83 and 3).
MARK_KEY = (255, 0, 255)
MARK_SQUARES = [(48, 40), (176, 40), (48, 200), (176, 200)]
MARK_PATCHES = [((112, 200), (253, 0, 255)), ((136, 200), (254, 1, 254)),
                ((112, 224), (253, 2, 255)), ((136, 224), (252, 0, 255))]


def marks_pixel(x: int, y: int) -> tuple[int, int, int]:
    for sx, sy in MARK_SQUARES:
        if sx <= x < sx + 16 and sy <= y < sy + 16:
            return MARK_KEY
    for (px, py), colour in MARK_PATCHES:
        if px <= x < px + 8 and py <= y < py + 8:
            return colour
    red = (255, 160, 100, 160, 255)[(x + 32) // 64]
    if (x - 128) ** 2 + (y - 128) ** 2 < 30 * 30:
        red = 40
    return (red, 255 - y, 60 + y // 2)


def keyed_alpha(colour: tuple[int, ...], key: tuple[int, ...], threshold: int) -> int:
    """The colour-key tool's alpha: 0 when the rounded distance is below the threshold."""
    distance = round(sum((a - b) ** 2 for a, b in zip(colour, key)) ** 0.5)
    return 0 if distance < threshold else 255


def expected(name: str) -> Image:
    if name == "marks":
        return from_function(256, 256, marks_pixel)
    if name == "marks-keyed":
        return from_function(256, 256,
                             lambda x, y: (keyed_alpha(marks_pixel(x, y), MARK_KEY, 3),) * 3)
    if name == "marks-green":
        return from_function(256, 256, lambda x, y: (marks_pixel(x, y)[1],) * 3)
    if name == "checker":
        return from_function(256, 256, make_samples.checker_pixel)
    if name == "checker-inverted":
        return from_function(256, 256, lambda x, y: tuple(255 - c for c in
                                                          make_samples.checker_pixel(x, y)))
    if name.startswith("colour:"):
        colour = tuple(int(v) for v in name.split(":", 1)[1].split(","))
        return from_function(3, 2, lambda x, y: colour)
    if name.startswith("alpha-grey:"):
        source = decode(name.split(":", 1)[1], alpha=True)
        return from_function(source.width, source.height,
                             lambda x, y: (source.at(x, y)[3],) * 3)
    if name.startswith("over-black:"):
        source = decode(name.split(":", 1)[1], alpha=True)
        return from_function(source.width, source.height, lambda x, y: tuple(
            (c * source.at(x, y)[3] + 127) // 255 for c in source.at(x, y)[:3]))
    if name.startswith("over-checker:"):
        # Drawn by its alpha over the views' checkerboard: 8-pixel squares from the corner, light
        # 255 and dark 204 grey.
        source = decode(name.split(":", 1)[1], alpha=True)

        def over_checker(x: int, y: int) -> tuple[int, ...]:
            *colour, a = source.at(x, y)
            grey = 204 if (x // 8 + y // 8) % 2 else 255
            return tuple((c * a + grey * (255 - a) + 127) // 255 for c in colour)
        return from_function(source.width, source.height, over_checker)
    if name.startswith("zoom:"):
        _, factor, inner = name.split(":", 2)
        source, n = expected(inner), int(factor)
        return from_function(source.width * n, source.height * n,
                             lambda x, y: source.rgb(x // n, y // n))
    if name.startswith("shot:"):
        _, path, x, y, w, h = name.rsplit(":", 5)
        return decode(path, crop=(int(x), int(y), int(w), int(h)))
    return decode(name)


def first_row(args: list[str]) -> int:
    x, y0, y1 = int(args[1]), max(0, int(args[2])), int(args[3])
    colour = tuple(int(v) for v in args[4].split(","))
    shot = box(args[0], x, y0, 1, y1 - y0)
    for y in range(y0, y0 + shot.height):
        if shot.rgb(x, y) == colour:
            print(y)
            return 0
    print(f"no pixel of colour {colour} in column {x}, rows {y0} to {y1}", file=sys.stderr)
    return 1


def find(args: list[str]) -> int:
    x0, y0, x1, y1 = (int(v) for v in args[1:5])
    shot = box(args[0], x0, y0, x1 - x0, y1 - y0)
    want = expected(args[5])
    top, second = want.row(0, 0, 3), want.row(0, 1, 3)
    data, width = shot.image.data, shot.width
    at = data.find(top)
    while at >= 0:
        if at % 3 == 0:
            x, y = (at // 3) % width, (at // 3) // width
            if x + 3 <= width and y + 1 < shot.height and shot.image.row(x, y + 1, 3) == second:
                print(x0 + x, y0 + y)
                return 0
        at = data.find(top, at + 1)
    print(f"the picture's top-left texels {list(top)} are not in the box", file=sys.stderr)
    return 1


def window(args: list[str]) -> int:
    x, y, w, h = (int(v) for v in args[1:5])
    full = decode(args[0])
    shot = full
    background = tuple(int(v) for v in args[5].split(","))
    mid_x, mid_y = x + w // 2, y + h // 2

    def run(px: int, py: int, dx: int, dy: int) -> int:
        steps = 0
        while (0 <= px < shot.width and 0 <= py < shot.height and
               shot.rgb(px, py) == background):
            px, py, steps = px + dx, py + dy, steps + 1
        return steps

    left = x - run(x - 1, mid_y, -1, 0)
    right = x + w + run(x + w, mid_y, 1, 0)
    top = y - run(mid_x, y - 1, 0, -1)
    bottom = y + h + run(mid_x, y + h, 0, 1)
    print(left, top, right - left, bottom - top)
    return 0


def report(mismatches: list[str], count: int, what: str) -> int:
    if count == 0:
        return 0
    print(f"{count} pixels differ from {what}; first ones:", file=sys.stderr)
    for line in mismatches[:8]:
        print("  " + line, file=sys.stderr)
    return 1


def same(args: list[str]) -> int:
    x0, y0 = int(args[1]), int(args[2])
    want = expected(args[3])
    tolerance = int(args[4]) if len(args) > 4 else 0
    shot = box(args[0], x0, y0, want.width, want.height)
    if (shot.width, shot.height) != (want.width, want.height):
        print("the picture does not fit on the screen there", file=sys.stderr)
        return 1
    bad, count = [], 0
    for y in range(want.height):
        if shot.row(x0, y0 + y, want.width) == want.row(0, y, want.width):
            continue
        for x in range(want.width):
            got, exp = shot.rgb(x0 + x, y0 + y), want.rgb(x, y)
            if any(abs(a - b) > tolerance for a, b in zip(got, exp)):
                count += 1
                bad.append(f"texel ({x},{y}): screen {got}, expected {exp}")
    return report(bad, count, args[3])


def tiled(args: list[str]) -> int:
    x0, y0, w, h = (int(v) for v in args[1:5])
    shot = box(args[0], x0, y0, w, h)
    want = expected(args[5])
    bad, count = [], 0
    for y in range(h):
        for x in range(w):
            got, exp = shot.rgb(x0 + x, y0 + y), want.rgb(x % want.width, y % want.height)
            if got != exp:
                count += 1
                bad.append(f"window ({x},{y}): screen {got}, expected {exp}")
    return report(bad, count, args[5] + " tiled")


def stretched(args: list[str]) -> int:
    """The box (the texture window's client area, W x H) shows EXPECTED over W - 1 x H - 1 pixels.

    Every pixel is compared with the texel under its centre, allowing the neighbours of that
    texel (edges of the mapping may round either way; addressing wraps round the texture's
    edges) and, when filtered, any blend of them.
    nearest: every pixel is one of the texels of the 3 x 3 block (no blends); somewhere in the
    box a pixel lies strictly between two neighbouring texels' colours for filtered, never for
    nearest."""
    x0, y0, w, h = (int(v) for v in args[1:5])
    shot = box(args[0], x0, y0, w, h)
    want = expected(args[5])
    mode = args[6]
    sx, sy = want.width / (w - 1), want.height / (h - 1)
    bad, count, blends = [], 0, 0
    for y in range(h - 1):
        for x in range(w - 1):
            tx = min(want.width - 1, int((x + 0.5) * sx))
            ty = min(want.height - 1, int((y + 0.5) * sy))
            # Texture addressing wraps: at an edge the blend reaches the opposite edge.
            near = [want.rgb((tx + dx) % want.width, (ty + dy) % want.height)
                    for dy in (-1, 0, 1) for dx in (-1, 0, 1)]
            got = shot.rgb(x0 + x, y0 + y)
            exact = got in near
            within = all(min(c[i] for c in near) - 1 <= got[i] <= max(c[i] for c in near) + 1
                         for i in range(3))
            if not exact and within:
                blends += 1
            ok = exact if mode == "nearest" else within
            if not ok:
                count += 1
                bad.append(f"window ({x},{y}) -> texel ({tx},{ty}): screen {got}, near {near[4]}")
    if mode == "filtered" and blends == 0:
        print("no pixel is a blend of texels: the picture is not filtered", file=sys.stderr)
        return 1
    return report(bad, count, f"{args[5]} stretched ({mode})")


def differ(args: list[str]) -> int:
    x0, y0, w, h = (int(v) for v in args[2:6])
    a, b = box(args[0], x0, y0, w, h).image.data, box(args[1], x0, y0, w, h).image.data
    print(sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]))
    return 0


def lit(args: list[str]) -> int:
    x0, y0, w, h = (int(v) for v in args[1:5])
    data = box(args[0], x0, y0, w, h).image.data
    print(sum(1 for i in range(0, len(data), 3) if max(data[i:i + 3]) >= 24))
    return 0


def file_holds(args: list[str]) -> int:
    got, want = decode(args[0]), expected(args[1])
    if (got.width, got.height) != (want.width, want.height):
        print(f"{args[0]} is {got.width} x {got.height}, expected {want.width} x {want.height}",
              file=sys.stderr)
        return 1
    bad, count = [], 0
    for y in range(want.height):
        for x in range(want.width):
            if got.rgb(x, y) != want.rgb(x, y):
                count += 1
                bad.append(f"pixel ({x},{y}): file {got.rgb(x, y)}, expected {want.rgb(x, y)}")
    return report(bad, count, args[1])


def off_colour(args: list[str]) -> int:
    x0, y0, w, h = (int(v) for v in args[1:5])
    colour = tuple(int(v) for v in args[5].split(","))
    tolerance = int(args[6])
    shot = box(args[0], x0, y0, w, h)
    print(sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w)
              if any(abs(a - b) > tolerance for a, b in zip(shot.rgb(x, y), colour))))
    return 0


def write_marks(args: list[str]) -> int:
    with open(args[0], "wb") as f:
        f.write(make_samples.bmp_bytes(256, 256, marks_pixel, alpha=False))
    return 0


COMMANDS = {"first-row": first_row, "find": find, "window": window, "same": same, "tiled": tiled,
            "stretched": stretched, "differ": differ, "lit": lit, "file": file_holds,
            "off-colour": off_colour, "write-marks": write_marks}

if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in COMMANDS:
        sys.exit(__doc__)
    sys.exit(COMMANDS[sys.argv[1]](sys.argv[2:]))
