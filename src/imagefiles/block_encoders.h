// Our block-compression encoders: BC1 (four colours, and three colours with 1-bit alpha for
// cut-outs), BC2 (DXT3), BC3 (DXT5), BC4, BC5 and BC7, each at two levels: Fast (the default)
// and Best. The input is B G R A pixels, the output the format's blocks, rows of blocks top to
// bottom. Deterministic: the same pixels and options give the same bytes on every run and at any
// thread count.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/pixel_groups.h"

namespace tintora {

enum class EncodeFormat {
    Bc1,   // four-colour blocks; alpha ignored
    Bc1a,  // 1-bit alpha: texels with alpha below alphaThreshold become transparent
    Bc2,   // explicit 4-bit alpha (DXT3)
    Bc3,   // interpolated alpha (DXT5)
    Bc4,   // one channel: red
    Bc5,   // two channels: red and green
    Bc7,
};

enum class EncodeLevel { Fast, Best };

struct EncodeOptions {
    EncodeLevel level = EncodeLevel::Fast;
    // BC1: opaque blocks may also use the three-colour mode (its fourth index is black) where it
    // is closer. Off by default: some engines treat index 3 of such blocks as transparent. BC1a
    // ignores it: there index 3 is transparent.
    bool bc1ThreeColour = false;
    // BC1a: the alpha below which a texel is transparent.
    std::uint8_t alphaThreshold = 128;
};

// Bytes of one block: 8 for BC1, BC1a and BC4, 16 for the others.
std::size_t EncodedBlockBytes(EncodeFormat format);

// Encodes one 4 x 4 block: bgra holds 16 pixels row by row (64 bytes), block receives
// EncodedBlockBytes(format) bytes.
void EncodeBlock(EncodeFormat format, const EncodeOptions& options, const std::uint8_t* bgra,
                 std::uint8_t* block);

// Encodes a width x height image (B G R A pixels, rows without padding) into ceil(width / 4) x
// ceil(height / 4) blocks, rows of blocks top to bottom; the partial blocks of the right and bottom
// edges repeat the image's last column and row. Parallel over rows of blocks; progress (may be
// empty) receives 1..100 on the calling thread as in base/pixel_groups.h, and may throw to stop.
void EncodeImage(EncodeFormat format, const EncodeOptions& options, const std::uint8_t* bgra,
                 int width, int height, std::uint8_t* blocks, const ProgressFn& progress = {});

}  // namespace tintora
