// Shared set-up for the document tests: a clean Module1 with a real software device, and helpers
// that fill and read textures through their public lock.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "document/module1.h"
#include "support/test_device.h"
#include "device/device.h"
#include "base/error.h"

namespace tintora::testing {

// B G R A bytes of one pixel, as stored.
using Bgra = std::array<std::uint8_t, 4>;

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetModule1();
        Module1().D3D = Direct3DCreate8();
        Module1().Device = testing::MakeTestDevice(Module1().D3D);
        Module1().PresentParams = testing::TestPresentParams();
    }
    void TearDown() override { ResetModule1(); }

    Device& device() { return *Module1().Device; }
};

// Writes every texel of level 0 from texel(x, y).
inline void FillTexture(Texture& texture, const std::function<Bgra(int, int)>& texel) {
    const D3DLOCKED_RECT rect = texture.LockRect(0, nullptr, 0);
    auto* bits = static_cast<std::uint8_t*>(rect.pBits);
    for (int y = 0; y < texture.height(); ++y) {
        for (int x = 0; x < texture.width(); ++x) {
            const Bgra value = texel(x, y);
            std::memcpy(bits + static_cast<std::ptrdiff_t>(y) * rect.Pitch + 4 * x, value.data(),
                        4);
        }
    }
    texture.UnlockRect(0);
}

// The bytes of level 0, row after row.
inline std::vector<std::uint8_t> ReadTexture(Texture& texture) {
    const D3DLOCKED_RECT rect = texture.LockRect(0, nullptr, D3DLOCK_READONLY);
    const auto* bits = static_cast<const std::uint8_t*>(rect.pBits);
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < texture.height(); ++y) {
        const auto* row = bits + static_cast<std::ptrdiff_t>(y) * rect.Pitch;
        bytes.insert(bytes.end(), row, row + 4 * texture.width());
    }
    texture.UnlockRect(0);
    return bytes;
}

inline std::vector<std::uint8_t> BufferBytes(const PixelBuffer& buffer) {
    return {buffer.data(), buffer.data() + buffer.byteCount()};
}

// A texel pattern where every byte of a small texture differs from its neighbours.
inline Bgra PatternTexel(int x, int y, int seed) {
    const auto base = static_cast<std::uint8_t>(seed + 37 * x + 101 * y);
    return {base, static_cast<std::uint8_t>(base + 61), static_cast<std::uint8_t>(base + 127),
            static_cast<std::uint8_t>(base ^ 0xA5)};
}

// The slots of a table (Module1().TextureTable, DocumentTable) in use.
inline int InUseCount(const auto& table) {
    int count = 0;
    for (const auto& slot : table)
        count += slot.InUse ? 1 : 0;
    return count;
}

// Runs a call that must throw PlatformError and returns its code (0 when nothing was thrown).
inline HRESULT ErrorCodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const PlatformError& error) {
        return error.code();
    }
    return 0;
}

}  // namespace tintora::testing
