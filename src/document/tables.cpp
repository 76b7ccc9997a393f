#include <cassert>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "document/module1.h"

namespace tintora {

namespace {

// The first free slot from 1, or a new one at the end. The array holds slots 0..upperBound once
// the first slot is taken (before that it is empty and upperBound is 0).
template <typename Record>
std::int32_t TakeSlot(std::vector<Record>& table, std::int32_t& upperBound) {
    assert(table.empty() ? upperBound == 0
                         : table.size() == static_cast<std::size_t>(upperBound) + 1);
    for (std::int32_t k = 1; k <= upperBound; ++k) {
        auto& record = table[static_cast<std::size_t>(k)];
        if (!record.InUse) {
            record.InUse = true;
            return k;
        }
    }
    const std::int32_t k = upperBound + 1;
    table.resize(static_cast<std::size_t>(k) + 1);
    upperBound = k;
    table[static_cast<std::size_t>(k)].InUse = true;
    return k;
}

template <typename Record>
Record& SlotAt(std::vector<Record>& table, std::int32_t upperBound, std::int32_t slot) {
    if (slot < 0 || slot > upperBound || static_cast<std::size_t>(slot) >= table.size()) {
        throw PlatformError(kErrSubscriptOutOfRange, "Subscript out of range");
    }
    return table[static_cast<std::size_t>(slot)];
}

std::shared_ptr<Texture> CreateEntryTexture(Device& device, std::int32_t width,
                                            std::int32_t height) {
    return device.CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
}

}  // namespace

std::int32_t TakeDocumentSlot() {
    auto& state = Module1();
    return TakeSlot(state.DocumentTable, state.DocumentTableUBound);
}

std::int32_t TakeTextureSlot() {
    auto& state = Module1();
    return TakeSlot(state.TextureTable, state.TextureTableUBound);
}

TextureDocument& DocumentAt(std::int32_t slot) {
    auto& state = Module1();
    return SlotAt(state.DocumentTable, state.DocumentTableUBound, slot);
}

TextureEntry& TextureAt(std::int32_t slot) {
    auto& state = Module1();
    return SlotAt(state.TextureTable, state.TextureTableUBound, slot);
}

std::int32_t CreateTextureEntry(std::int32_t width, std::int32_t height, bool createMain,
                                DocumentWindows* windows) {
    if (width == 0 || height == 0) return 0;
    if (width < 0 || height < 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
        throw PlatformError(D3DERR_INVALIDCALL,
                            "Cannot create a texture of " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels: each side must be 1 to " +
                                std::to_string(kMaxTextureSize));
    }
    auto& state = Module1();
    if (!state.Device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }

    // Everything is made before a slot is taken, so a failure (out of memory, a device error)
    // leaves neither a slot marked in use nor a half-made entry behind.
    TextureEntry made;
    made.Pixels = PixelBuffer(width, height);
    made.PreviewPixels = PixelBuffer(width, height);
    if (createMain) made.Texture = CreateEntryTexture(*state.Device, width, height);
    made.PreviewTexture = CreateEntryTexture(*state.Device, width, height);
    made.Format = D3DFMT_A8R8G8B8;
    made.Width = width;
    made.Height = height;
    made.FileName = "";
    made.Title = "Untitled";
    made.InUse = true;
    made.StateId = ++state.NextStateId;
    made.SavedStateId = made.StateId;

    const std::int32_t slot = TakeTextureSlot();
    state.TextureTable[static_cast<std::size_t>(slot)] = std::move(made);

    if (windows != nullptr) windows->ShowPreviewWindow();
    return slot;
}

void FreeTextureEntry(std::int32_t slot) {
    TextureEntry& entry = TextureAt(slot);
    entry.Texture.reset();
    entry.PreviewTexture.reset();
    entry.Pixels.Erase();
    entry.PreviewPixels.Erase();
    entry.History = {};
    entry.InUse = false;
}

}  // namespace tintora
