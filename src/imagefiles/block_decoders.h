// Decoders of the block-compressed formats that the device does not store: BC4, BC5, BC6H and
// BC7. Each 4 x 4 block of texels becomes 16 A8R8G8B8 pixels, as other texture tools show them in
// an 8-bit editor:
//   BC4: grey (red, green and blue all carry the channel), alpha 255;
//   BC5: red and green from the two channels, blue 0, alpha 255;
//   unsigned BC4 and BC5: the interpolated values rounded down, as other decoders give them;
//   signed variants: a value v in -1..1 shows as round((v + 1) x 127.5), halves rounded up:
//     -1 as 0, +1 as 255, 0 as 128;
//   BC6H: the half-float colour clamped to 0..1 and scaled to 8 bits (no tone curve, rounded to
//     nearest), alpha 255; a block with one of the four reserved mode codes is opaque black;
//   BC7: the stored colour and alpha exactly; a block without a mode (first byte 0) is transparent
//     black, 0 in all four channels.
// Every bit pattern decodes to something: the decoders never fail. They keep no state and may run
// on any number of threads at once.
// (BC1-BC3 are DXT1-DXT5, which the device keeps compressed; see device/.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace tintora {

enum class BlockFormat {
    Bc4Unorm,
    Bc4Snorm,
    Bc5Unorm,
    Bc5Snorm,
    Bc6hUf16,
    Bc6hSf16,
    Bc7,
};

// Bytes of one block: 8 for BC4, 16 for the others.
std::size_t BlockBytes(BlockFormat format);

// Decodes one block into 16 pixels, row by row: 64 bytes, B G R A each.
void DecodeBlock(BlockFormat format, const std::uint8_t* block, std::uint8_t* bgra);

// Decodes a width x height image stored as rows of blocks (ceil(width / 4) blocks a row, the
// partial blocks of the right and bottom edges included) into width x height A8R8G8B8 pixels
// (B G R A bytes, rows without padding), in parallel over rows of blocks. The caller has checked
// that blocks holds every block.
void DecodeBlocksToArgb(BlockFormat format, const std::uint8_t* blocks, int width, int height,
                        std::uint8_t* out);

}  // namespace tintora
