// Argument checks shared by the effect kernels.
#pragma once

#include <cstdint>

#include "base/error.h"
#include "base/pixel_buffer.h"

namespace tintora::effects_detail {

// Source and destination must have the same size and either be the same buffer or not overlap.
inline void RequireMatchingViews(const PixelView& source, const PixelView& destination) {
    if (source.width != destination.width || source.height != destination.height ||
        source.width < 0 || source.height < 0) {
        throw PlatformError(D3DERR_INVALIDCALL, "effect: source and destination differ in size");
    }
    const std::size_t bytes = source.byteCount();
    if (bytes == 0) return;
    if (source.data == nullptr || destination.data == nullptr) {
        throw PlatformError(D3DERR_INVALIDCALL, "effect: a view has no pixels");
    }
    const auto s = reinterpret_cast<std::uintptr_t>(source.data);
    const auto d = reinterpret_cast<std::uintptr_t>(destination.data);
    if (s != d && s < d + bytes && d < s + bytes) {
        throw PlatformError(D3DERR_INVALIDCALL, "effect: source and destination overlap");
    }
}

inline std::size_t PixelCount(const PixelView& view) {
    return static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height);
}

}  // namespace tintora::effects_detail
