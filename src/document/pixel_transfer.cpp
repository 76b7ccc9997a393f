#include <cstddef>
#include <cstring>
#include <string>

#include "base/byte_buffer.h"
#include "base/error.h"
#include "document/module1.h"

namespace tintora {

namespace {

// Holds level 0 of a texture locked, whole level. Unlock() ends the lock and reports a failure;
// if the scope is left by an exception first, the destructor unlocks quietly.
class LevelLock {
  public:
    LevelLock(Texture& texture, std::uint32_t flags)
        : texture_(texture), rect_(texture.LockRect(0, nullptr, flags)) {}
    ~LevelLock() {
        if (!locked_) return;
        try {
            texture_.UnlockRect(0);
        } catch (...) {  // NOLINT(bugprone-empty-catch): already unwinding from another error
        }
    }
    LevelLock(const LevelLock&) = delete;
    LevelLock& operator=(const LevelLock&) = delete;

    [[nodiscard]] std::uint8_t* bits() const { return static_cast<std::uint8_t*>(rect_.pBits); }
    [[nodiscard]] std::int32_t pitch() const { return rect_.Pitch; }

    void Unlock() {
        locked_ = false;
        texture_.UnlockRect(0);
    }

  private:
    Texture& texture_;
    D3DLOCKED_RECT rect_;
    bool locked_ = true;
};

Texture& RequireTexture(const std::shared_ptr<Texture>& texture) {
    if (!texture) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return *texture;
}

// The block copy counts on the level being exactly the entry's size, stored with no row padding.
void RequireBlockLayout(const Texture& texture, const LevelLock& lock, const TextureEntry& entry) {
    const bool matches = texture.format() == D3DFMT_A8R8G8B8 && texture.width() == entry.Width &&
                         texture.height() == entry.Height && lock.pitch() == 4 * entry.Width;
    if (!matches) {
        throw PlatformError(D3DERR_INVALIDCALL,
                            "Texture level is not one block of " + std::to_string(entry.Width) +
                                " x " + std::to_string(entry.Height) + " A8R8G8B8 pixels");
    }
}

// The buffer must hold the pixel bytes (an erased buffer does not).
void RequireBuffer(const PixelBuffer& buffer, std::size_t bytes) {
    if (buffer.empty() || buffer.byteCount() < bytes) {
        throw PlatformError(kErrSubscriptOutOfRange, "Subscript out of range");
    }
}

std::size_t PixelBytes(const TextureEntry& entry) {
    return static_cast<std::size_t>(entry.Height) * static_cast<std::size_t>(entry.Width) * 4;
}

}  // namespace

void CopyOut(std::int32_t textureIndex) {
    TextureEntry& entry = TextureAt(textureIndex);
    Texture& texture = RequireTexture(entry.Texture);
    LevelLock lock(texture, D3DLOCK_READONLY);
    RequireBlockLayout(texture, lock, entry);
    const std::size_t bytes = PixelBytes(entry);
    RequireBuffer(entry.Pixels, bytes);
    CopyBytes(entry.Pixels.data(), lock.bits(), bytes);
    lock.Unlock();
}

void CopyIn(std::int32_t textureIndex, std::int32_t target) {
    TextureEntry& entry = TextureAt(textureIndex);
    const bool preview = target == 1;
    Texture& texture = RequireTexture(preview ? entry.PreviewTexture : entry.Texture);
    const PixelBuffer& buffer = preview ? entry.PreviewPixels : entry.Pixels;
    LevelLock lock(texture, 0);
    RequireBlockLayout(texture, lock, entry);
    const std::size_t bytes = PixelBytes(entry);
    RequireBuffer(buffer, bytes);
    CopyBytes(lock.bits(), buffer.data(), bytes);
    lock.Unlock();
}

}  // namespace tintora
