// The alpha tools run on a texture of the TextureTable: copy the pixels out of the texture, build
// the new alpha into the preview, show or keep it.
//
// Which buffer each reads and writes:
// - AlphaFromColourKey, AlphaFromOwnChannel and AlphaFromOtherTexture refresh Pixels from the main
//   texture, copy Pixels into PreviewPixels, replace the alpha bytes of PreviewPixels and copy
//   PreviewPixels into the preview texture. The main texture and Pixels stay as they are, so an
//   earlier preview never feeds a later one.
// - CommitAlphaPreview makes the preview permanent: PreviewPixels into Pixels, Pixels into the
//   main texture.
// Colour bytes never change; only alpha does.
//
// AlphaFromColourKey is the only one with status texts and pending messages in its middle (see
// there); if a handler that runs then frees the texture or its buffers, it stops with
// PlatformError(kErrSubscriptOutOfRange) instead of writing to them. A texture index that is not a
// slot of the table throws the same error; a free slot throws PlatformError(kErrObjectNotSet)
// from the copy out.
//
// UI thread only (the pixel work inside runs in parallel).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "alpha/alpha_ops.h"
#include "document/window_system.h"

namespace tintora {

// The colour-key tool's computation into the preview: pixels whose colour lies closer to keyColor
// (0x00BBGGRR) than threshold become transparent (alpha 0), all others opaque (255); see
// ApplyColourKeyAlpha. Meanwhile the main window's status line shows "Busy (n%)" after each
// hundredth of the pixels (n from 1 to 100; a texture of fewer than 100 pixels shows "Busy (100%)"
// once), each text followed by one run of the pending window messages (display; null shows
// nothing). Then the status line says "Action finished" and the preview texture receives the
// result; when it stops with an error, the status line says "Action failed".
void AlphaFromColourKey(std::int32_t textureIndex, std::uint32_t keyColor, std::int32_t threshold,
                        ProgressDisplay* display = nullptr);

// The alpha from the texture's own pixels into the preview (ApplyChannelAlpha): red, green, blue,
// saturation or luminosity. AlphaChannel::Alpha previews the texture as it is.
void AlphaFromOwnChannel(std::int32_t textureIndex, AlphaChannel channel);

// The alpha from another texture into the preview: channel of texture sourceIndex, resampled to
// this texture's size by point sampling (ApplyResampledAlpha). AlphaChannel::Alpha takes the
// source's alpha. Returns false and changes nothing when sourceIndex is not a slot in use with a
// texture (a free or released slot, 0, or a number past the table), or when it is the texture
// itself.
bool AlphaFromOtherTexture(std::int32_t textureIndex, std::int32_t sourceIndex,
                           AlphaChannel channel);

// PreviewPixels into Pixels, then Pixels into the main texture.
void CommitAlphaPreview(std::int32_t textureIndex);

// The items of the source lists for the texture in slot activeTextureIndex: one per TextureTable
// slot from 1 to the upper bound except activeTextureIndex, in ascending order, whether the slot
// is in use or not: the slot number followed by "- Untitled" for an entry without a file name,
// otherwise by "-" and its title ("3- Untitled", "4-stone.bmp").
std::vector<std::string> SourceListItems(std::int32_t activeTextureIndex);

// The slot an item names: the leading number of its text before the first "-" (0 when there is
// none).
std::int32_t SlotOfItem(const std::string& item);

}  // namespace tintora
