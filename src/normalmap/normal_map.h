// Normal maps from a height channel.
//
// The height of each texel is one channel of the source (or its luminance); its slope is measured
// with a 3 x 3 Sobel filter that wraps around the edges, so a tiling texture gives a tiling map.
// The map is the usual tangent-space encoding:
//
//   height   h(x, y)  = the chosen source value in 0..255 (see HeightSource)
//   slopes   Gx = [h(x+1, y-1) + 2 h(x+1, y) + h(x+1, y+1)] - [same at x-1]
//            Gy = [h(x-1, y+1) + 2 h(x, y+1) + h(x+1, y+1)] - [same at y-1]
//            (neighbours taken modulo W and H; y grows down the image, row 0 at the top)
//   scale    k  = amplitude / (8 x 255)
//   normal   n  = normalize(-k Gx, +k Gy, 1)
//   texel    red = q(n.x), green = q(n.y), blue = q(n.z), alpha = q'(h)
//            q(c) = round((c + 1) / 2 x 255), q'(h) = round(h); rounding is to nearest, ties to
//            even
//
// What the amplitude means: Gx / 8 and Gy / 8 are the height differences per texel, so with
// heights taken as value / 255 the relief rises by `amplitude` texels over the whole 0..255
// range. A linear ramp of s per texel gives the tilt -amplitude x s / 255 along the ramp. Amplitude
// 0 gives the flat map (128, 128, 255) everywhere (127.5 rounds to the even 128); a negative
// amplitude turns the relief upside down (red and green mirror around 127.5). Amplitudes beyond
// +-1e6 act as +-1e6 (every sloped texel then already lies on its side) and NaN acts as 0.
//
// Axes: x (red) points right, along increasing columns. y (green) points UP the image, towards
// row 0 ("green up", the convention of the engine's lighting): a height that grows down the
// image tilts the normal up, green above 128. z (blue) points out of the surface.
//
// The alpha channel keeps the height: the source byte for a single channel, the luminance
// rounded for luminance.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "base/pixel_buffer.h"
#include "device/device.h"

namespace tintora {

// Where the height comes from. The numbers are the codes the generator is called with.
enum class HeightSource : std::int32_t {
    Red = 1,
    Luminance = 2,  // 0.299 R + 0.587 G + 0.114 B, in single precision, in this order
    Blue = 4,
    Alpha = 8,
    Green = 16,
};

// The source for a code, or nothing for a code that names none.
std::optional<HeightSource> HeightSourceFromCode(std::int32_t code);

// Computes the normal map of source into destination (same width and height, both B G R A with
// pitch 4 x width, as PixelView guarantees; asserted). The source is only read. Destination may
// be the same memory as source: the source is then copied first (4 x W x H bytes more).
// Runs in parallel over blocks of rows (oneTBB); each block keeps three rows of heights as floats.
// Cost: about one memory pass over each image plus a square root and a division per texel.
// Throws std::bad_alloc when memory runs out (the destination may then be partly written).
void GenerateNormalMap(PixelView source, PixelView destination, float amplitude,
                       HeightSource height);

// Fills the top level of destination with the normal map of source's top level. Both textures
// must be A8R8G8B8 and of the same size; source is left unchanged (it may be the same texture
// as destination, which is then overwritten). reserved is ignored.
//
// Throws PlatformError: object not set (91) for an empty texture reference; D3DERR_INVALIDCALL
// for a source code other than 1, 2, 4, 8, 16, for a format other than A8R8G8B8, for sizes that
// differ, or for a texture that is already locked; nothing is written then. std::bad_alloc as
// GenerateNormalMap.
void Imaging_GenerateNormalMap(std::shared_ptr<Texture>& destination,
                               std::shared_ptr<Texture>& source, float amplitude,
                               std::int32_t sourceCode, std::int32_t reserved);

}  // namespace tintora
