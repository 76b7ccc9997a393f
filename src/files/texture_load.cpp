#include "files/texture_load.h"

#include <array>
#include <new>

#include "base/error.h"
#include "device/d3dx.h"
#include "device/d3dx_file.h"
#include "document/module1.h"
#include "drawing/pending_document.h"
#include "drawing/views.h"

namespace tintora {

namespace {

std::shared_ptr<Device> RequireDevice() {
    const auto& device = Module1().Device;
    if (!device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return device;
}

// Draws a DXT2/DXT4 texture onto a cleared A8R8G8B8 texture: the blend of DrawQuad multiplies
// every channel by the texel's alpha.
std::shared_ptr<Texture> FlattenPremultiplied(Device& device, std::array<QuadVertex, 4>& quad,
                                              const std::shared_ptr<Texture>& source, int width,
                                              int height) {
    auto renderer = D3DXCreateRenderToSurface(device.shared_from_this(), width, height,
                                              D3DFMT_A8R8G8B8, false, D3DFMT_UNKNOWN);
    auto flat = device.CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    const D3DVIEWPORT8 viewport = WholeViewport(width, height);
    renderer->BeginScene(flat->GetSurfaceLevel(0), &viewport);
    try {
        device.Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000u, 1.0f, 0);
        DrawQuadOn(device, quad, 0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height),
                   source, false, 1.0f, 1.0f, false);
    } catch (...) {
        // Put the device's own render target back before the error goes on.
        renderer->EndScene();
        throw;
    }
    renderer->EndScene();
    return flat;
}

// Converts any readable texture into A8R8G8B8. The result holds the bytes that a pass through an
// A8R8G8B8 system-memory surface and a copy onto the texture would give, without either: a read
// that is already a managed A8R8G8B8 texture is the working texture itself, and any other format
// is converted once, straight into the new texture.
std::shared_ptr<Texture> ConvertToWorkingFormat(Device& device, std::shared_ptr<Texture> source,
                                                int width, int height) {
    const D3DSURFACE_DESC desc = source->GetLevelDesc(0);
    if (desc.Format == D3DFMT_A8R8G8B8 && desc.Pool == D3DPOOL_MANAGED && desc.Usage == 0) {
        return source;
    }
    auto working = device.CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    D3DXLoadSurfaceFromSurface(*working->GetSurfaceLevel(0), nullptr, nullptr,
                               *source->GetSurfaceLevel(0), nullptr, nullptr, D3DX_DEFAULT_FILTER,
                               0);
    return working;
}

// The read on device; the premultiplied route draws through quad.
std::shared_ptr<Texture> ReadOnDevice(Device& device, std::array<QuadVertex, 4>& quad,
                                      const std::string& fileName, const PremultipliedWarning& warn,
                                      D3DXIMAGE_INFO* info) {
    std::shared_ptr<Texture> read = D3DXCreateTextureFromFileEx(
        device, fileName, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
        D3DX_FILTER_POINT, D3DX_FILTER_NONE, kLoadColorKey, info, nullptr);
    const D3DSURFACE_DESC desc = read->GetLevelDesc(0);
    const int width = static_cast<int>(desc.Width);
    const int height = static_cast<int>(desc.Height);

    if (desc.Format == D3DFMT_DXT2 || desc.Format == D3DFMT_DXT4) {
        if (warn) warn();
        return FlattenPremultiplied(device, quad, read, width, height);
    }
    return ConvertToWorkingFormat(device, std::move(read), width, height);
}

}  // namespace

std::string TitleFromPath(const std::string& fileName) {
    const auto separator = fileName.find_last_of("/\\");
    return separator == std::string::npos ? fileName : fileName.substr(separator + 1);
}

std::shared_ptr<Texture> ReadWorkingTexture(const std::string& fileName,
                                            const PremultipliedWarning& warn,
                                            D3DXIMAGE_INFO* info) {
    const std::shared_ptr<Device> device = RequireDevice();
    return ReadOnDevice(*device, Module1().QuadVertices, fileName, warn, info);
}

std::shared_ptr<Texture> ReadWorkingTexture(Device& device, const std::string& fileName,
                                            const PremultipliedWarning& warn,
                                            D3DXIMAGE_INFO* info) {
    std::array<QuadVertex, 4> quad{};
    return ReadOnDevice(device, quad, fileName, warn, info);
}

std::string LeftOutText(std::uint32_t faces, std::uint32_t arraySize, std::uint32_t depth) {
    const auto oneOf = [](const char* part, std::uint32_t count) {
        return std::string(part) + " 1 of " + std::to_string(count);
    };
    const bool cube = faces > 1, array = arraySize > 1;
    if (cube && array) {
        return "cube map array: " + oneOf("face", faces) + " in " + oneOf("layer", arraySize) +
               " opened";
    }
    if (cube) return "cube map: " + oneOf("face", faces) + " opened";
    if (array) return "texture array: " + oneOf("layer", arraySize) + " opened";
    if (depth > 1) return "volume texture: " + oneOf("slice", depth) + " opened";
    return {};
}

std::string LeftOutText(const TextureEntry& entry) {
    return LeftOutText(entry.FileFaces, entry.FileArraySize, entry.FileDepth);
}

std::string FileHoldsText(const TextureEntry& entry) {
    if (LeftOutText(entry).empty()) return {};
    const auto count = [](std::uint32_t n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    std::string text;
    if (entry.FileArraySize > 1) text = count(entry.FileArraySize, "layer");
    if (entry.FileFaces > 1) text += (text.empty() ? "" : " of ") + count(entry.FileFaces, "face");
    if (entry.FileDepth > 1) text += (text.empty() ? "" : ", ") + count(entry.FileDepth, "slice");
    if (entry.FileMipLevels > 1) text += " and " + count(entry.FileMipLevels, "mip level");
    return text;
}

std::int32_t LoadTextureFile(const std::string& fileName, const PremultipliedWarning& warn,
                             WindowAccess access) {
    auto& state = Module1();
    try {
        D3DXIMAGE_INFO info;
        std::shared_ptr<Texture> texture = ReadWorkingTexture(fileName, warn, &info);
        const std::int32_t width = texture->width();
        const std::int32_t height = texture->height();

        PendingDocument pending(access.windows, width, height);
        const std::int32_t d = pending.document();
        const std::int32_t x = pending.CreateEntry(width, height, false);
        DocumentAt(d).TextureIndex = x;
        TextureAt(x).Texture = std::move(texture);
        TextureAt(x).FileName = fileName;
        TextureAt(x).FileMipLevels = info.MipLevels;
        TextureAt(x).FileFaces = info.Faces;
        TextureAt(x).FileArraySize = info.ArraySize;
        TextureAt(x).FileDepth = info.Depth;
        TextureAt(x).FileSrgb = info.Srgb;
        const std::string title = TitleFromPath(fileName);
        DocumentAt(d).Title = title;
        if (DocumentWindow* window = DocumentAt(d).Window) window->SetCaption(title);
        CopyOut(x);
        TextureAt(x).Title = title;

        const std::int32_t previous = state.LastLoadedTexture;
        state.LastLoadedTexture = x;
        try {
            RefreshCaptions(access.pump);
        } catch (...) {
            state.LastLoadedTexture = previous;
            throw;
        }
        pending.Commit();
        return x;
    } catch (const PlatformError& error) {
        throw PlatformError(error.code(), "cannot load", fileName, error.what());
    } catch (const std::bad_alloc&) {
        throw PlatformError(E_OUTOFMEMORY, "cannot load", fileName, "not enough memory");
    }
}

}  // namespace tintora
