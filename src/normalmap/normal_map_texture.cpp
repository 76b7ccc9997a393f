#include "normalmap/normal_map_texture.h"

#include <cmath>
#include <memory>

#include "base/error.h"
#include "base/number_text.h"
#include "document/history.h"
#include "document/module1.h"
#include "drawing/pending_document.h"
#include "drawing/views.h"
#include "normalmap/normal_map.h"

namespace tintora {

float AmplitudeFromText(const std::string& text) {
    const auto amplitude = static_cast<float>(LeadingNumber(text));
    if (!std::isfinite(amplitude)) throw PlatformError(kErrOverflow, "Overflow");
    return amplitude;
}

std::int32_t CreateNormalMapTexture(std::int32_t sourceCode, const std::string& amplitudeText,
                                    WindowAccess access) {
    const auto& state = Module1();
    if (state.ActiveWindowIndex <= 0) return 0;
    const std::int32_t sourceIndex = DocumentAt(state.ActiveWindowIndex).TextureIndex;
    if (sourceIndex == 0) return 0;
    // The new window becomes the active one as soon as it exists: take what the map is made of
    // now, and keep the texture itself in case its window is closed while messages run.
    const TextureEntry& sourceEntry = TextureAt(sourceIndex);
    std::shared_ptr<Texture> source = sourceEntry.Texture;
    const std::int32_t width = sourceEntry.Width;
    const std::int32_t height = sourceEntry.Height;
    const float amplitude = AmplitudeFromText(amplitudeText);

    PendingDocument pending(access.windows);
    const std::int32_t x = pending.CreateEntry(width, height, true);
    pending.OpenWindow(width, height);
    TextureAt(x).Title = kNormalMapTitle + std::to_string(x);
    DocumentAt(pending.document()).TextureIndex = x;

    Imaging_GenerateNormalMap(TextureAt(x).Texture, source, amplitude, sourceCode, 0);
    CopyOut(x);
    // A map that was never saved: closing its window asks first.
    MarkModified(x);
    RefreshCaptions(access.pump);
    pending.Commit();
    return x;
}

}  // namespace tintora
