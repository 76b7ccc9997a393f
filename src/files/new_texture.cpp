#include "files/new_texture.h"

#include <cstring>
#include <vector>

#include "base/error.h"
#include "device/d3dx.h"
#include "document/module1.h"
#include "drawing/pending_document.h"

namespace tintora {

void AcceptTextureSize(std::int32_t& width, std::int32_t& height) {
    const auto& device = Module1().Device;
    if (!device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    int w = width;
    int h = height;
    std::uint32_t levels = 0;
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    D3DXCheckTextureRequirements(*device, &w, &h, &levels, 0, &format, D3DPOOL_SYSTEMMEM);
    width = w;
    height = h;
}

std::string PowerOfTwoQuestion(std::int32_t width, std::int32_t height) {
    return "The texture size must be a power of 2 (like 256x128, 32x128, 512x1024), the closest "
           "valid size would be " +
           std::to_string(width) + "x" + std::to_string(height);
}

std::uint32_t InitialTexel(AlphaInitialization alpha, std::uint32_t backgroundColor) {
    if (alpha == AlphaInitialization::Transparent) return 0x00000000u;
    // Window colour 0x00BBGGRR to 0xAARRGGBB: exchange red and blue, opaque.
    return 0xFF000000u | ToDeviceColor(backgroundColor & 0x00FFFFFFu);
}

std::int32_t CreateNewTexture(std::int32_t width, std::int32_t height, AlphaInitialization alpha,
                              WindowAccess access) {
    PendingDocument pending(access.windows, width, height);
    const std::int32_t x = pending.CreateEntry(width, height, true);
    if (x > 0) {
        Texture& texture = *TextureAt(x).Texture;
        const std::uint32_t texel = InitialTexel(alpha, Module1().BackgroundColor);
        // One row of texels, stored B G R A, copied onto every row.
        std::vector<std::uint8_t> row(static_cast<std::size_t>(texture.width()) * 4);
        for (std::size_t i = 0; i < row.size(); i += 4) {
            row[i] = static_cast<std::uint8_t>(texel);
            row[i + 1] = static_cast<std::uint8_t>(texel >> 8);
            row[i + 2] = static_cast<std::uint8_t>(texel >> 16);
            row[i + 3] = static_cast<std::uint8_t>(texel >> 24);
        }
        const D3DLOCKED_RECT locked = texture.LockRect(0, nullptr, 0);
        auto* bits = static_cast<std::uint8_t*>(locked.pBits);
        for (int y = 0; y < texture.height(); ++y)
            std::memcpy(bits + static_cast<std::ptrdiff_t>(y) * locked.Pitch, row.data(),
                        row.size());
        texture.UnlockRect(0);
        CopyOut(x);
    }
    DocumentAt(pending.document()).TextureIndex = x;
    pending.Commit();
    return x;
}

}  // namespace tintora
