// Mipmap chains: every level of a texture down to 1 x 1, made with a good downsampling filter.
//
// Level n+1 is max(1, floor(w / 2)) x max(1, floor(h / 2)) of level n, as engines expect. Pixels
// are B G R A bytes, rows without padding. Each destination texel's footprint is centred on its
// source, odd sizes included (5 texels -> 2 covers 2.5 source texels each); edges clamp (texels
// beyond the edge repeat it). Results round to the nearest byte, clamped to 0..255.
#pragma once

#include <cstdint>
#include <vector>

#include "base/pixel_buffer.h"
#include "base/pixel_groups.h"

namespace tintora {

enum class MipFilter {
    Box,      // 2 x 2 average, by area for odd sizes (for comparison; not the default)
    Kaiser,   // Kaiser-windowed sinc, three texels of the level either side: the default
    Lanczos,  // Lanczos-windowed sinc, three lobes
};

struct MipOptions {
    MipFilter filter = MipFilter::Kaiser;
    // The colour channels are sRGB-encoded: filter in linear light, store sRGB again. Alpha is
    // linear always.
    bool srgb = false;
    // The texture is a normal map (x, y, z in red, green, blue, byte b meaning b / 127.5 - 1, as
    // the normal-map generator writes them): each level's normals are renormalised to unit
    // length. Takes precedence over srgb.
    bool normalMap = false;
    // Alpha-tested textures: when above 0 (at most 255), each level's alpha is scaled so that the
    // share of texels with alpha >= alphaReference comes as close as it can to the top level's
    // (within one texel where the level's filtered alphas differ).
    int alphaReference = 0;
};

// The number of levels of a full chain for a width x height top level (1 for 1 x 1, 0 for none).
int MipLevelCount(int width, int height);

// The levels below the top: level 1 (half size) to the 1 x 1 level (none for a 1 x 1 top), each
// filtered from the level above it. Parallel over rows inside each level; the same bytes at any
// thread count. progress (may be empty) receives a rising 1..100 on the calling thread between
// groups of rows, and may throw to stop (the exception propagates, no chain is returned). Throws
// PlatformError(D3DERR_INVALIDCALL) for an empty top or an alphaReference outside 0..255.
std::vector<PixelBuffer> MakeMipChain(const PixelView& top, const MipOptions& options,
                                      const ProgressFn& progress = {});

}  // namespace tintora
