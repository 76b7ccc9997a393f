#include "alpha/alpha_texture.h"

#include <cstring>

#include "base/error.h"
#include "base/number_text.h"
#include "document/locked_pixels.h"
#include "document/module1.h"

namespace tintora {

namespace {

// Both pixel buffers of an entry, checked to hold its W x H pixels.
struct EntryViews {
    PixelView pixels;
    PixelView previewPixels;
};

EntryViews ViewsOf(std::int32_t textureIndex) {
    TextureEntry& entry = TextureAt(textureIndex);
    const auto holds = [&entry](const PixelBuffer& buffer) {
        return !buffer.empty() && buffer.width() == entry.Width && buffer.height() == entry.Height;
    };
    if (!holds(entry.Pixels) || !holds(entry.PreviewPixels)) {
        throw PlatformError(kErrSubscriptOutOfRange, "Subscript out of range");
    }
    return {entry.Pixels.view(), entry.PreviewPixels.view()};
}

// Refreshes Pixels from the main texture and starts the preview as a copy of it.
EntryViews StartPreview(std::int32_t textureIndex) {
    CopyOut(textureIndex);
    const EntryViews views = ViewsOf(textureIndex);
    std::memcpy(views.previewPixels.data, views.pixels.data, views.pixels.byteCount());
    return views;
}

void ShowStatus(ProgressDisplay* display, const std::string& text) {
    if (display != nullptr) display->SetStatusText(text);
}

}  // namespace

void AlphaFromColourKey(std::int32_t textureIndex, std::uint32_t keyColor, std::int32_t threshold,
                        ProgressDisplay* display) {
    const EntryViews views = StartPreview(textureIndex);
    const TextureEntry& entry = TextureAt(textureIndex);
    const std::uint8_t* pixels = entry.Pixels.data();
    const std::uint8_t* previewPixels = entry.PreviewPixels.data();
    try {
        ApplyColourKeyAlpha(views.previewPixels, keyColor, threshold, [&](int counter) {
            ShowStatus(display, "Busy (" + std::to_string(counter) + "%)");
            if (display != nullptr) display->DoEvents();
            // The pending messages may have closed the texture window and freed the buffers.
            const TextureEntry& now = TextureAt(textureIndex);
            if (!now.InUse || now.Pixels.data() != pixels ||
                now.PreviewPixels.data() != previewPixels) {
                throw PlatformError(kErrSubscriptOutOfRange, "Subscript out of range");
            }
        });
    } catch (...) {
        // The status line does not stay on a progress text; the caller reports the error.
        ShowStatus(display, "Action failed");
        throw;
    }
    ShowStatus(display, "Action finished");
    CopyIn(textureIndex, 1);
}

void AlphaFromOwnChannel(std::int32_t textureIndex, AlphaChannel channel) {
    const EntryViews views = StartPreview(textureIndex);
    ApplyChannelAlpha(views.previewPixels, channel);
    CopyIn(textureIndex, 1);
}

bool AlphaFromOtherTexture(std::int32_t textureIndex, std::int32_t sourceIndex,
                           AlphaChannel channel) {
    const Module1State& state = Module1();
    if (sourceIndex <= 0 || sourceIndex == textureIndex ||
        sourceIndex >= static_cast<std::int32_t>(state.TextureTable.size())) {
        return false;
    }
    const TextureEntry& source = state.TextureTable[static_cast<std::size_t>(sourceIndex)];
    if (!source.InUse || !source.Texture) return false;
    // Hold the source texture: nothing runs in between, but the lock must not outlive it.
    const std::shared_ptr<Texture> sourceTexture = source.Texture;
    const EntryViews views = StartPreview(textureIndex);
    {
        const LockedPixels lock(*sourceTexture, D3DLOCK_READONLY);
        ApplyResampledAlpha(views.previewPixels, lock.view(), channel);
    }
    CopyIn(textureIndex, 1);
    return true;
}

void CommitAlphaPreview(std::int32_t textureIndex) {
    const EntryViews views = ViewsOf(textureIndex);
    std::memcpy(views.pixels.data, views.previewPixels.data, views.pixels.byteCount());
    CopyIn(textureIndex, 0);
}

std::vector<std::string> SourceListItems(std::int32_t activeTextureIndex) {
    const Module1State& state = Module1();
    std::vector<std::string> items;
    const auto slots = static_cast<std::int32_t>(state.TextureTable.size());
    for (std::int32_t i = 1; i <= state.TextureTableUBound && i < slots; ++i) {
        if (i == activeTextureIndex) continue;
        const TextureEntry& entry = state.TextureTable[static_cast<std::size_t>(i)];
        items.push_back(std::to_string(i) +
                        (entry.FileName.empty() ? std::string("- Untitled") : "-" + entry.Title));
    }
    return items;
}

std::int32_t SlotOfItem(const std::string& item) {
    const std::size_t dash = item.find('-');
    if (dash == std::string::npos) return 0;
    return RoundToInt32Checked(LeadingNumber(item.substr(0, dash)));
}

}  // namespace tintora
