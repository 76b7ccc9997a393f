// The top level of a texture held locked as a pixel view, for work straight on a texture's pixels
// (the normal-map generator, the command-line tool's operations) instead of through an entry's
// pixel buffer.
#pragma once

#include <cstdint>

#include "base/error.h"
#include "base/pixel_buffer.h"
#include "device/resources.h"

namespace tintora {

// Locks level 0 of texture with flags (D3DLOCK_READONLY or 0) for the life of the object and
// unlocks it when the scope is left. The texture's lock errors (already locked) throw from the
// constructor.
class LockedPixels {
  public:
    LockedPixels(Texture& texture, std::uint32_t flags)
        : texture_(texture), rect_(texture.LockRect(0, nullptr, flags)) {}
    ~LockedPixels() {
        try {
            texture_.UnlockRect(0);
        } catch (...) {  // NOLINT(bugprone-empty-catch): an unlock of a held lock cannot fail
        }
    }
    LockedPixels(const LockedPixels&) = delete;
    LockedPixels& operator=(const LockedPixels&) = delete;

    // The level as a pixel view. Throws PlatformError(D3DERR_INVALIDCALL) unless it is A8R8G8B8
    // stored as one block of 4 x W x H bytes, as every working texture is.
    PixelView view() const {
        const int width = texture_.width();
        Require(texture_.format() == D3DFMT_A8R8G8B8 && rect_.Pitch == 4 * width,
                D3DERR_INVALIDCALL, "The texture level is not stored as one block of pixels");
        return {static_cast<std::uint8_t*>(rect_.pBits), width, texture_.height()};
    }

  private:
    Texture& texture_;
    D3DLOCKED_RECT rect_;
};

}  // namespace tintora
