// Image tests on a software device: surfaces made from pixel lists, their pixels back, and loading
// a file as the editor does (test files and ImageMagick: test_files.h).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/pixel_format.h"
#include "device/d3dx_file.h"
#include "device/device.h"
#include "support/test_device.h"
#include "support/test_files.h"

namespace tintora::testing {

// The A8R8G8B8 pixels of a whole surface, or a texture's top level, of any format, rows tight.
inline std::vector<std::uint32_t> ArgbOf(const Surface& surface) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(surface.width()) * surface.height());
    DecodeToArgb(surface.storageFormat(), surface.bits(), surface.pitch(), surface.width(),
                 surface.height(), out.data());
    return out;
}
inline std::vector<std::uint32_t> ArgbOf(const Texture& texture) {
    return ArgbOf(*texture.GetSurfaceLevel(0));
}

// An A8R8G8B8 image surface holding the given pixels.
inline std::shared_ptr<Surface> ArgbSurface(Device& device, int width, int height,
                                            const std::vector<std::uint32_t>& pixels) {
    auto surface = device.CreateImageSurface(width, height, D3DFMT_A8R8G8B8);
    std::memcpy(surface->bits(), pixels.data(), pixels.size() * 4);
    surface->Touch();
    return surface;
}

// A managed A8R8G8B8 texture holding the given pixels.
inline std::shared_ptr<Texture> ArgbTexture(Device& device, int width, int height,
                                            const std::vector<std::uint32_t>& pixels) {
    auto texture = device.CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    const auto level = texture->GetSurfaceLevel(0);
    std::memcpy(level->bits(), pixels.data(), pixels.size() * 4);
    level->Touch();
    return texture;
}

// Loads a file as the editor does: keep the file's format, no colour key.
inline std::shared_ptr<Texture> LoadTexture(Device& device, const std::string& path,
                                            D3DXIMAGE_INFO* info = nullptr) {
    return D3DXCreateTextureFromFileEx(device, path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                       D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                       D3DX_FILTER_NONE, 0, info, nullptr);
}

}  // namespace tintora::testing
