#!/usr/bin/env python3
"""Writes the small seed files of the fuzz corpora: layouts the test images in tests/data/peer do
not cover (header variants, masks, run-length forms, the DDS extension header), a few pixels
each, so that the fuzzers start from every branch of the readers.

    fuzz/make_seeds.py [output-directory]     (default: fuzz/seeds, one folder per reader)
"""
import os
import struct
import sys

W, H = 4, 3  # odd height: row order matters, partial DXT blocks


def u16(v):
    return struct.pack("<H", v)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def bmp(info, palette=b"", pixels=b""):
    offset = 14 + len(info) + len(palette)
    return b"BM" + u32(offset + len(pixels)) + u32(0) + u32(offset) + info + palette + pixels


def info40(width, height, bits, compression=0, colours=0, size=40, extra=b""):
    header = u32(size) + u32(width) + u32(height) + u16(1) + u16(bits) + u32(compression)
    header += u32(0) + u32(2835) + u32(2835) + u32(colours) + u32(0)
    return header + extra + bytes(size - 40 - len(extra))


def rows(width, height, bits, fill):
    stride = (width * bits + 31) // 32 * 4
    return b"".join(bytes((fill + y * 7 + x) & 0xFF for x in range(stride)) for y in range(height))


def bmp_seeds():
    grey = b"".join(bytes((i, i, i, 0)) for i in range(0, 256, 16))
    yield "core12_8bit.bmp", bmp(u32(12) + u16(W) + u16(H) + u16(1) + u16(8),
                                 b"".join(bytes((i, 255 - i, i // 2)) for i in range(0, 256, 16)),
                                 rows(W, H, 8, 1))
    yield "bitfields565.bmp", bmp(info40(W, H, 16, 3) + u32(0xF800) + u32(0x07E0) + u32(0x001F),
                                  pixels=rows(W, H, 16, 3))
    yield "alphabitfields.bmp", bmp(info40(W, H, 32, 6) + u32(0x00FF0000) + u32(0x0000FF00) +
                                    u32(0x000000FF) + u32(0xFF000000), pixels=rows(W, H, 32, 5))
    yield "v5_topdown24.bmp", bmp(info40(W, -H, 24, size=124), pixels=rows(W, H, 24, 9))
    yield "v4_masks4444.bmp", bmp(info40(W, H, 16, 3, size=108,
                                         extra=u32(0x0F00) + u32(0x00F0) + u32(0x000F) +
                                         u32(0xF000)), pixels=rows(W, H, 16, 11))
    # RLE4: a run, a literal of 3 pixels, a move, end of row, end of image.
    runs = bytes([4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 1, 1, 2, 0x77, 0, 0, 0, 1])
    yield "rle4.bmp", bmp(info40(W, H, 4, 2, 16), grey, runs)
    yield "monochrome.bmp", bmp(info40(9, H, 1, 0, 2), bytes((0, 0, 0, 0, 255, 255, 255, 0)),
                                rows(9, H, 1, 0x55))
    # A packed DIB: information header, colour table and pixels without the file header.
    yield "packed.dib", info40(W, H, 8, 0, 16) + grey + rows(W, H, 8, 2)


def tga(image_type, bits, pixels, descriptor=0, cmap=None, footer=False, ident=b""):
    map_type, first, length, map_bits, table = 0, 0, 0, 0, b""
    if cmap is not None:
        map_type, first, length, map_bits, table = 1, cmap[0], cmap[1], cmap[2], cmap[3]
    header = bytes((len(ident), map_type, image_type)) + u16(first) + u16(length) + bytes((map_bits,))
    header += u16(0) + u16(0) + u16(W) + u16(H) + bytes((bits, descriptor))
    data = header + ident + table + pixels
    if footer:
        data += u32(0) + u32(0) + b"TRUEVISION-XFILE.\0"
    return data


def tga_seeds():
    n = W * H
    yield "grey_rle.tga", tga(11, 8, bytes((0x85, 200, 0x05)) + bytes(range(6)), descriptor=0x20)
    yield "grey_alpha16.tga", tga(3, 16, bytes(i & 0xFF for i in range(2 * n)), descriptor=0x18)
    yield "rgb15.tga", tga(2, 15, bytes((i * 37) & 0xFF for i in range(2 * n)), descriptor=0x10)
    yield "argb1555.tga", tga(2, 16, bytes((i * 53) & 0xFF for i in range(2 * n)), descriptor=0x31,
                              footer=True)
    map16 = b"".join(u16(0x8000 | (i * 2049)) for i in range(8))
    yield "cmap16_index16.tga", tga(1, 16, b"".join(u16(2 + i % 9) for i in range(n)),
                                    descriptor=0x01, cmap=(2, 8, 16, map16), ident=b"seed")
    map32 = b"".join(bytes((i, 2 * i, 3 * i, 255 - i)) for i in range(4))
    yield "cmap32_rle.tga", tga(9, 8, bytes((0x83, 1, 0x87, 3)), descriptor=0x28,
                                cmap=(0, 4, 32, map32))


def dds(pf, width, height, payload, dx10=None, mips=0, flags=0x1007, caps2=0):
    header = u32(124) + u32(flags | (0x20000 if mips else 0)) + u32(height) + u32(width)
    header += u32(0) + u32(0) + u32(mips) + bytes(44) + pf
    header += u32(0x1000) + u32(caps2) + u32(0) + u32(0) + u32(0)
    assert len(header) == 124
    return b"DDS " + header + (dx10 or b"") + payload


def pixel_format(flags, four_cc=0, bits=0, r=0, g=0, b=0, a=0):
    return u32(32) + u32(flags) + u32(four_cc) + u32(bits) + u32(r) + u32(g) + u32(b) + u32(a)


def fourcc(text):
    return struct.unpack("<I", text.encode())[0]


def dds_seeds():
    n = W * H
    blocks = (W + 3) // 4 * ((H + 3) // 4)
    dxt1 = bytes((0x1F, 0xF8, 0xE0, 0x07, 0x1B, 0xE4, 0x1B, 0xE4)) * blocks
    dxt5 = bytes((255, 0, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24)) + dxt1[:8]
    yield "dx10_bc1.dds", dds(pixel_format(4, fourcc("DX10")), W, H, dxt1,
                              u32(71) + u32(3) + u32(0) + u32(1) + u32(0))
    yield "dx10_bc3_premultiplied.dds", dds(pixel_format(4, fourcc("DX10")), W, H, dxt5 * blocks,
                                            u32(77) + u32(3) + u32(0) + u32(1) + u32(2))
    yield "dx10_rgba8.dds", dds(pixel_format(4, fourcc("DX10")), W, H,
                                bytes(i & 0xFF for i in range(4 * n)),
                                u32(28) + u32(3) + u32(0) + u32(1) + u32(0))
    yield "dxt3.dds", dds(pixel_format(4, fourcc("DXT3")), W, H,
                          (bytes(range(0, 256, 32)) + dxt1[:8]) * blocks)
    yield "dxt2.dds", dds(pixel_format(4, fourcc("DXT2")), W, H,
                          (bytes(range(0, 256, 32)) + dxt1[:8]) * blocks)
    yield "l8.dds", dds(pixel_format(0x20000, bits=8, r=0xFF), W, H, bytes(range(n)))
    yield "a8l8.dds", dds(pixel_format(0x20001, bits=16, r=0xFF, a=0xFF00), W, H,
                          bytes(i * 9 & 0xFF for i in range(2 * n)))
    yield "a8.dds", dds(pixel_format(0x2, bits=8, a=0xFF), W, H, bytes(i * 20 for i in range(n)))
    yield "r5g6b5_mips.dds", dds(pixel_format(0x40, bits=16, r=0xF800, g=0x07E0, b=0x001F), W, H,
                                 bytes(i * 5 & 0xFF for i in range(2 * n + 8 + 2)), mips=3)
    # A layout with no Direct3D 8 format of its own: converted pixel by pixel.
    yield "a2b10g10r10.dds", dds(pixel_format(0x41, bits=32, r=0x3FF, g=0xFFC00, b=0x3FF00000,
                                              a=0xC0000000), W, H,
                                 bytes(i * 11 & 0xFF for i in range(4 * n)))
    yield "r8g8b8.dds", dds(pixel_format(0x40, bits=24, r=0xFF0000, g=0xFF00, b=0xFF), W, H,
                            bytes(i * 3 & 0xFF for i in range(3 * n)))
    # A Direct3D format number where the four-character code belongs (21 = A8R8G8B8).
    yield "numbered_fourcc.dds", dds(pixel_format(4, 21), W, H, bytes(i * 7 & 0xFF for i in range(4 * n)))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "seeds")
    for folder, seeds in (("bmp", bmp_seeds()), ("tga", tga_seeds()), ("dds", dds_seeds())):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        for name, data in seeds:
            with open(os.path.join(out, folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
