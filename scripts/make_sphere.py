#!/usr/bin/env python3
"""Writes data/sphere.x: the UV sphere the 3D preview shows the texture on.

A DirectX mesh file in the text format ("xof 0303txt 0032") with one Mesh holding positions,
faces, MeshNormals and MeshTextureCoords. The sphere is centred on the origin in a left-handed
frame (y up, z into the screen); faces wind clockwise seen from outside, as Direct3D draws
front faces with its default culling.

Layout: SEGMENTS columns around the y axis and RINGS rows from the north pole (v = 0) to the
south pole (v = 1). The grid has (RINGS + 1) x (SEGMENTS + 1) vertices: the seam column is
doubled so that u runs from 0 to 1 without wrapping, and each pole is one vertex per column so
that every column keeps its own u. The pole rows get one triangle per column, the other rows two.

Texture coordinates have their origin at the top left of the texture (u right, v down), the
Direct3D convention: u = column / SEGMENTS, v = row / RINGS. The preview's camera looks from -z
towards +z: the middle of the texture (u = 0.5) faces it, u increases from left to right as it
sees it, and the seam (u = 0 and 1) lies at the back.

The radius suits the preview's default camera: a 256 x 256 texture puts the camera 6.4 units
from the origin with a 90 degree vertical field of view. A sphere of radius r seen from distance
d spans r / sqrt(d^2 - r^2) of the view's height: radius 4 spans 80 %, leaving a margin around
the silhouette (radius 4.5 would touch the top and bottom edges at 99 %). Textures whose larger
side is 160 or less put the camera inside the sphere until the user zooms out.

    python3 scripts/make_sphere.py           write data/sphere.x
    python3 scripts/make_sphere.py --check   fail when data/sphere.x differs from the output
"""

import math
import sys
from pathlib import Path

SEGMENTS = 32
RINGS = 16
RADIUS = 4.0

OUTPUT = Path(__file__).resolve().parent.parent / "data" / "sphere.x"


def fmt(value):
    """A float with six decimals and no negative zero."""
    text = f"{value:.6f}"
    return "0.000000" if text == "-0.000000" else text


def grid():
    """Positions, normals and texture coordinates of the (RINGS + 1) x (SEGMENTS + 1) grid."""
    positions, normals, uvs = [], [], []
    for row in range(RINGS + 1):
        theta = math.pi * row / RINGS  # 0 at the north pole
        for column in range(SEGMENTS + 1):
            # Column 0 lies at +z (the back); u = 0.5 faces -z.
            phi = 2.0 * math.pi * column / SEGMENTS + 0.5 * math.pi
            nx = math.sin(theta) * math.cos(phi)
            ny = math.cos(theta)
            nz = math.sin(theta) * math.sin(phi)
            normals.append((nx, ny, nz))
            positions.append((RADIUS * nx, RADIUS * ny, RADIUS * nz))
            uvs.append((column / SEGMENTS, row / RINGS))
    return positions, normals, uvs


def faces():
    """Triangles, clockwise seen from outside."""
    out = []

    def index(row, column):
        return row * (SEGMENTS + 1) + column

    for row in range(RINGS):
        for column in range(SEGMENTS):
            a = index(row, column)
            b = index(row, column + 1)
            c = index(row + 1, column)
            d = index(row + 1, column + 1)
            if row != 0:
                out.append((a, b, d))
            if row != RINGS - 1:
                out.append((a, d, c))
    return out


def winding_is_clockwise_from_outside(positions, triangle):
    """True when the triangle's left-handed normal points away from the centre."""
    p0, p1, p2 = (positions[i] for i in triangle)
    e1 = [p1[k] - p0[k] for k in range(3)]
    e2 = [p2[k] - p0[k] for k in range(3)]
    # In a left-handed frame a clockwise triangle's normal is e1 x e2 (same formula, mirrored
    # meaning), so the outward test is the usual dot product.
    cross = (
        e1[1] * e2[2] - e1[2] * e2[1],
        e1[2] * e2[0] - e1[0] * e2[2],
        e1[0] * e2[1] - e1[1] * e2[0],
    )
    centre = [sum(p[k] for p in (p0, p1, p2)) / 3.0 for k in range(3)]
    return sum(cross[k] * centre[k] for k in range(3)) > 0.0


def render():
    positions, normals, uvs = grid()
    triangles = faces()
    assert all(winding_is_clockwise_from_outside(positions, t) for t in triangles)

    def vector_list(rows, width):
        lines = []
        for i, row in enumerate(rows):
            end = ";" if i == len(rows) - 1 else ","
            lines.append("    " + ";".join(fmt(v) for v in row[:width]) + ";" + end)
        return lines

    def face_list(rows):
        lines = []
        for i, (a, b, c) in enumerate(rows):
            end = ";" if i == len(rows) - 1 else ","
            lines.append(f"    3;{a},{b},{c};{end}")
        return lines

    out = ["xof 0303txt 0032", ""]
    out.append(f"// UV sphere: {SEGMENTS} segments x {RINGS} rings, radius {RADIUS}.")
    out.append("// Written by scripts/make_sphere.py; edit the script, not this file.")
    out.append("")
    out.append("Mesh Sphere {")
    out.append(f"  {len(positions)};")
    out += vector_list(positions, 3)
    out.append(f"  {len(triangles)};")
    out += face_list(triangles)
    out.append("")
    out.append("  MeshNormals {")
    out.append(f"    {len(normals)};")
    out += ["  " + line for line in vector_list(normals, 3)]
    out.append(f"    {len(triangles)};")
    out += ["  " + line for line in face_list(triangles)]
    out.append("  }")
    out.append("")
    out.append("  MeshTextureCoords {")
    out.append(f"    {len(uvs)};")
    out += ["  " + line for line in vector_list(uvs, 2)]
    out.append("  }")
    out.append("}")
    return "\n".join(out) + "\n"


def main(argv):
    text = render()
    if "--check" in argv:
        if not OUTPUT.exists() or OUTPUT.read_text() != text:
            print(f"make_sphere: {OUTPUT} differs from the generator's output", file=sys.stderr)
            return 1
        print(f"make_sphere: {OUTPUT} is up to date")
        return 0
    OUTPUT.write_text(text)
    print(f"make_sphere: wrote {OUTPUT}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
