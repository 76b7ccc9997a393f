#include "device/d3dx_file.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/error.h"
#include "device/d3dx.h"
#include "imagefiles/block_encoders.h"
#include "imagefiles/bmp_codec.h"
#include "imagefiles/dds_codec.h"
#include "imagefiles/file_io.h"
#include "imagefiles/image_file.h"
#include "imagefiles/qt_image_codec.h"
#include "imagefiles/tga_codec.h"

namespace tintora {
namespace {

constexpr int kJpegQuality = 90;

enum class Filter { None, Point, Linear };

// A8R8G8B8 pixels in passing, left uninitialised when made: every user writes them all.
using ArgbBuffer = std::vector<std::uint32_t, NoInitAllocator<std::uint32_t>>;

Filter FilterOf(std::uint32_t filter) {
    if (filter == D3DX_DEFAULT_FILTER) return Filter::Linear;
    switch (filter & 0xFF) {
        case 0:
        case D3DX_FILTER_LINEAR:
        case D3DX_FILTER_TRIANGLE:
        case D3DX_FILTER_BOX:
            return Filter::Linear;
        case D3DX_FILTER_NONE:
            return Filter::None;
        case D3DX_FILTER_POINT:
            return Filter::Point;
        default:
            throw PlatformError(D3DERR_INVALIDCALL,
                                "Unknown filter " + std::to_string(filter & 0xFF) +
                                    " (1 none, 2 point, 3 linear, 4 triangle, 5 box)");
    }
}

ArgbBuffer AllocateArgb(std::int64_t width, std::int64_t height) {
    try {
        return ArgbBuffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        throw PlatformError(E_OUTOFMEMORY, "Not enough memory for a " + std::to_string(width) +
                                               " x " + std::to_string(height) + " image");
    }
}

// True when StoreArgb can write the format.
bool CanStore(D3DFORMAT format) {
    return CanEncode(format) || IsBlockCompressed(format);
}

// Writes A8R8G8B8 pixels (rows tight) into format, dest rows pitch bytes apart. Block formats go
// through our block encoders at the Fast level: DXT1 as BC1 with 1-bit alpha (alpha below 128
// transparent), DXT2 and DXT3 as BC2, DXT4 and DXT5 as BC3, colours taken as they are. progress
// (block formats only) gets 0, then rising values up to 100.
void StoreArgb(D3DFORMAT format, const std::uint32_t* argb, int width, int height,
               std::uint8_t* dest, int pitch, const ProgressCallback& progress = {}) {
    if (!IsBlockCompressed(format)) {
        EncodeFromArgb(format, argb, width, height, dest, pitch);
        return;
    }
    const EncodeFormat blocks = format == D3DFMT_DXT1 ? EncodeFormat::Bc1a
                                : format == D3DFMT_DXT2 || format == D3DFMT_DXT3
                                    ? EncodeFormat::Bc2
                                    : EncodeFormat::Bc3;
    const auto rowBytes = static_cast<std::size_t>(RowPitchBytes(format, width));
    const auto rows = static_cast<std::size_t>(StorageRows(format, height));
    Require(pitch >= static_cast<std::int64_t>(rowBytes), D3DERR_INVALIDCALL,
            std::string("Row pitch too small for a ") + FormatName(format) + " image");
    if (progress) progress(0);
    const auto* bgra = reinterpret_cast<const std::uint8_t*>(argb);
    if (static_cast<std::size_t>(pitch) == rowBytes) {
        EncodeImage(blocks, {}, bgra, width, height, dest, progress);
        return;
    }
    ByteBuffer packed(rowBytes * rows);
    EncodeImage(blocks, {}, bgra, width, height, packed.data(), progress);
    for (std::size_t y = 0; y < rows; ++y)
        std::memcpy(dest + y * static_cast<std::size_t>(pitch), packed.data() + y * rowBytes,
                    rowBytes);
}

// Replaces every pixel equal to key by transparent black; returns whether any pixel changed.
bool ApplyColorKey(std::uint32_t* pixels, std::size_t count, std::uint32_t key) {
    if (key == 0) return false;
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (pixels[i] == key) {
            pixels[i] = 0;
            changed = true;
        }
    }
    return changed;
}

// The same, on A8R8G8B8 bytes that need not be aligned for 32-bit access, in parallel ranges;
// four pixels are compared at once, and only groups holding the key are written.
void ApplyColorKeyToBytes(std::uint8_t* bytes, std::size_t count, std::uint32_t key) {
    if (key == 0) return;
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, count, std::size_t{1} << 16),
                      [&](const tbb::blocked_range<std::size_t>& range) {
                          std::size_t i = range.begin();
#if defined(__SSE2__)
                          const __m128i wanted = _mm_set1_epi32(static_cast<int>(key));
                          for (; i + 4 <= range.end(); i += 4) {
                              auto* group = reinterpret_cast<__m128i*>(bytes + 4 * i);
                              const __m128i v = _mm_loadu_si128(group);
                              const __m128i same = _mm_cmpeq_epi32(v, wanted);
                              if (_mm_movemask_epi8(same) != 0) {
                                  _mm_storeu_si128(group, _mm_andnot_si128(same, v));
                              }
                          }
#endif
                          for (; i < range.end(); ++i) {
                              std::uint32_t v;
                              std::memcpy(&v, bytes + 4 * i, 4);
                              if (v == key) std::memset(bytes + 4 * i, 0, 4);
                          }
                      });
}

std::uint32_t Lerp(std::uint32_t a, std::uint32_t b, float t) {
    return static_cast<std::uint32_t>(static_cast<float>(a) +
                                      (static_cast<float>(b) - static_cast<float>(a)) * t + 0.5f);
}

std::uint32_t LerpArgb(std::uint32_t a, std::uint32_t b, float t) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        result |= Lerp((a >> shift) & 0xFF, (b >> shift) & 0xFF, t) << shift;
    }
    return result;
}

// Resamples a sw x sh image to dw x dh. Texel centres lie at half-integers on both sides.
ArgbBuffer Resample(ArgbBuffer src, int sw, int sh, int dw, int dh, Filter filter) {
    if (sw == dw && sh == dh) return src;
    ArgbBuffer dest = AllocateArgb(dw, dh);
    const double scaleX = static_cast<double>(sw) / dw;
    const double scaleY = static_cast<double>(sh) / dh;
    tbb::parallel_for(tbb::blocked_range<int>(0, dh, 16), [&](const tbb::blocked_range<int>& rows) {
        for (int y = rows.begin(); y < rows.end(); ++y) {
            std::uint32_t* out = dest.data() + static_cast<std::ptrdiff_t>(y) * dw;
            if (filter == Filter::None) {
                for (int x = 0; x < dw; ++x) {
                    out[x] = (x < sw && y < sh) ? src[static_cast<std::size_t>(y) * sw + x] : 0;
                }
            } else if (filter == Filter::Point) {
                const int sy = std::min(sh - 1, static_cast<int>((2 * std::int64_t{y} + 1) * sh /
                                                                 (2 * std::int64_t{dh})));
                for (int x = 0; x < dw; ++x) {
                    const int sx = std::min(sw - 1, static_cast<int>((2 * std::int64_t{x} + 1) *
                                                                     sw / (2 * std::int64_t{dw})));
                    out[x] = src[static_cast<std::size_t>(sy) * sw + sx];
                }
            } else {
                const double v = (y + 0.5) * scaleY - 0.5;
                const int y0 = static_cast<int>(std::floor(v));
                const auto fy = static_cast<float>(v - y0);
                const std::uint32_t* row0 =
                    src.data() + static_cast<std::size_t>(std::clamp(y0, 0, sh - 1)) * sw;
                const std::uint32_t* row1 =
                    src.data() + static_cast<std::size_t>(std::clamp(y0 + 1, 0, sh - 1)) * sw;
                for (int x = 0; x < dw; ++x) {
                    const double u = (x + 0.5) * scaleX - 0.5;
                    const int x0 = static_cast<int>(std::floor(u));
                    const auto fx = static_cast<float>(u - x0);
                    const int xa = std::clamp(x0, 0, sw - 1);
                    const int xb = std::clamp(x0 + 1, 0, sw - 1);
                    out[x] = LerpArgb(LerpArgb(row0[xa], row0[xb], fx),
                                      LerpArgb(row1[xa], row1[xb], fx), fy);
                }
            }
        }
    });
    return dest;
}

RECT WholeOf(const Surface& surface) {
    return RECT{0, 0, surface.width(), surface.height()};
}

RECT CheckedRect(const Surface& surface, const RECT* rect, const char* what) {
    if (rect == nullptr) return WholeOf(surface);
    Require(rect->left >= 0 && rect->top >= 0 && rect->left < rect->right &&
                rect->top < rect->bottom && rect->right <= surface.width() &&
                rect->bottom <= surface.height(),
            D3DERR_INVALIDCALL,
            std::string("The ") + what + " rectangle (" + std::to_string(rect->left) + ", " +
                std::to_string(rect->top) + ") - (" + std::to_string(rect->right) + ", " +
                std::to_string(rect->bottom) + ") does not lie inside the " +
                std::to_string(surface.width()) + " x " + std::to_string(surface.height()) +
                " surface");
    if (IsBlockCompressed(surface.storageFormat())) {
        Require(rect->left % 4 == 0 && rect->top % 4 == 0 &&
                    (rect->right % 4 == 0 || rect->right == surface.width()) &&
                    (rect->bottom % 4 == 0 || rect->bottom == surface.height()),
                D3DERR_INVALIDCALL,
                std::string("The ") + what +
                    " rectangle on a compressed surface must lie on 4 x 4 block edges");
    }
    return *rect;
}

// Byte address of the rectangle's top-left pixel (or block) in the surface.
std::size_t RectOffset(const Surface& surface, const RECT& r) {
    const D3DFORMAT format = surface.storageFormat();
    if (IsBlockCompressed(format)) {
        return static_cast<std::size_t>(r.top / 4) * static_cast<std::size_t>(surface.pitch()) +
               static_cast<std::size_t>(RowPitchBytes(format, r.left));
    }
    return static_cast<std::size_t>(r.top) * static_cast<std::size_t>(surface.pitch()) +
           static_cast<std::size_t>(r.left) * static_cast<std::size_t>(BytesPerPixel(format));
}

// The pixels of a rectangle of a surface as A8R8G8B8, rows tight.
ArgbBuffer ReadArgb(const Surface& surface, const RECT& r) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    ArgbBuffer out = AllocateArgb(w, h);
    DecodeToArgb(surface.storageFormat(), surface.bits() + RectOffset(surface, r), surface.pitch(),
                 w, h, out.data());
    return out;
}

void RequireUnlocked(const Surface& surface, const char* what) {
    Require(!surface.locked(), D3DERR_INVALIDCALL,
            std::string("The ") + what + " surface is locked");
}

// The file of a rectangle of surface; a DDS file and a bitmap of A8R8G8B8 rows view the
// surface's own rows.
FileParts EncodeFile(D3DXIMAGE_FILEFORMAT type, const Surface& surface, const RECT& r) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (type == D3DXIFF_DDS) {
        return DdsFileParts(surface.storageFormat(), surface.bits() + RectOffset(surface, r),
                            surface.pitch(), w, h);
    }
    // The other types take A8R8G8B8 rows: the surface's own when it holds them, else converted.
    ArgbBuffer converted;
    const std::uint8_t* argb;
    int pitch;
    if (surface.storageFormat() == D3DFMT_A8R8G8B8) {
        argb = surface.bits() + RectOffset(surface, r);
        pitch = surface.pitch();
    } else {
        converted = ReadArgb(surface, r);
        argb = reinterpret_cast<const std::uint8_t*>(converted.data());
        pitch = w * 4;
    }
    FileParts parts;
    switch (type) {
        case D3DXIFF_BMP:
        case D3DXIFF_DIB:
            if (converted.empty()) return BmpFileParts(argb, pitch, w, h);
            parts.Add(EncodeBmp(argb, pitch, w, h));
            break;
        case D3DXIFF_TGA:
            parts.Add(EncodeTga(argb, pitch, w, h));
            break;
        case D3DXIFF_PNG:
            parts.Add(EncodePng(argb, pitch, w, h));
            break;
        case D3DXIFF_JPG:
            parts.Add(EncodeJpeg(argb, pitch, w, h, kJpegQuality));
            break;
        default:
            throw PlatformError(D3DERR_INVALIDCALL,
                                "file type " + std::to_string(static_cast<unsigned>(type)) +
                                    " cannot be written (BMP, DIB, DDS, PNG, JPG and TGA can)");
    }
    return parts;
}

// Makes the texture of a read image: w x h in format target, converted, keyed and resampled as
// needed (see the top of d3dx_file.h).
std::shared_ptr<Texture> StoreImage(Device& device, DecodedImage image, int w, int h,
                                    std::uint32_t usage, D3DFORMAT target, D3DPOOL pool,
                                    Filter resampling, std::uint32_t colorKey) {
    const bool asRead = target == image.format && w == image.width && h == image.height;
    // Stored as read: the level takes over the decoded bytes when they are its whole storage.
    const bool adopt = asRead && (usage & D3DUSAGE_RENDERTARGET) == 0 &&
                       image.bytes.size() == static_cast<std::size_t>(RowPitchBytes(target, w)) *
                                                 static_cast<std::size_t>(StorageRows(target, h));
    std::shared_ptr<Texture> texture = device.CreateTexture(
        w, h, 1, usage, target, pool, adopt ? std::move(image.bytes) : ByteBuffer{});
    const std::shared_ptr<Surface> level = texture->GetSurfaceLevel(0);
    if (asRead) {
        // An uncompressed result then gets the colour key in place.
        if (!adopt) {
            std::memcpy(level->bits(), image.bytes.data(),
                        std::min(level->byteSize(), image.bytes.size()));
        }
        if (colorKey != 0 && !IsBlockCompressed(target)) {
            const auto count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
            if (target == D3DFMT_A8R8G8B8) {
                ApplyColorKeyToBytes(level->bits(), count, colorKey);
            } else {
                // An explicitly requested format: key, then store what the format can hold.
                ArgbBuffer argb = ReadArgb(*level, WholeOf(*level));
                if (ApplyColorKey(argb.data(), count, colorKey)) {
                    StoreArgb(target, argb.data(), w, h, level->bits(), level->pitch());
                }
            }
        }
    } else {
        ArgbBuffer argb = AllocateArgb(image.width, image.height);
        DecodeToArgb(image.format, image.bytes.data(),
                     static_cast<int>(RowPitchBytes(image.format, image.width)), image.width,
                     image.height, argb.data());
        image.bytes = {};
        ApplyColorKey(argb.data(), argb.size(), colorKey);
        argb = Resample(std::move(argb), image.width, image.height, w, h, resampling);
        StoreArgb(target, argb.data(), w, h, level->bits(), level->pitch());
    }
    level->Touch();
    return texture;
}

}  // namespace

std::shared_ptr<Texture> D3DXCreateTextureFromFileEx(
    Device& device, const std::string& fileName, int width, int height,
    [[maybe_unused]] std::uint32_t mipLevels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
    std::uint32_t filter, [[maybe_unused]] std::uint32_t mipFilter, std::uint32_t colorKey,
    D3DXIMAGE_INFO* imageInfo, [[maybe_unused]] PALETTEENTRY* palette) {
    Require((width >= 0 || width == D3DX_DEFAULT) && (height >= 0 || height == D3DX_DEFAULT),
            D3DERR_INVALIDCALL, "Invalid texture size requested for " + QuotedName(fileName));
    const Filter resampling = FilterOf(filter);
    D3DXIMAGE_FILEFORMAT type = D3DXIFF_BMP;
    DecodedImage image = ReadImageFile(fileName, &type);

    const int w = width > 0 ? width : image.width;
    const int h = height > 0 ? height : image.height;
    Require(w <= kMaxTextureSize && h <= kMaxTextureSize, D3DERR_INVALIDCALL,
            "cannot make a " + std::to_string(w) + " x " + std::to_string(h) + " texture from " +
                QuotedName(fileName) + ": the largest texture is " +
                std::to_string(kMaxTextureSize) + " x " + std::to_string(kMaxTextureSize));
    D3DFORMAT target = format;
    if (target == D3DFMT_UNKNOWN) {
        // A keyed pixel must be able to turn transparent: with a colour key, uncompressed images
        // come out as A8R8G8B8.
        const bool keyed = colorKey != 0 && !IsBlockCompressed(image.format);
        target = keyed ? D3DFMT_A8R8G8B8 : image.format;
    }
    D3DXCheckTextureRequirements(device, nullptr, nullptr, nullptr, usage, &target, pool);
    if (!CanStore(target)) target = D3DFMT_A8R8G8B8;

    D3DXIMAGE_INFO info;
    info.Width = static_cast<std::uint32_t>(image.width);
    info.Height = static_cast<std::uint32_t>(image.height);
    info.Depth = image.fileDepth;
    info.MipLevels = image.fileMipLevels;
    info.Faces = image.fileFaces;
    info.ArraySize = image.fileArraySize;
    info.Srgb = image.fileSrgb;
    info.Format = image.fileFormat == D3DFMT_UNKNOWN ? image.format : image.fileFormat;
    info.ImageFileFormat = type;
    std::shared_ptr<Texture> texture;
    try {
        texture =
            StoreImage(device, std::move(image), w, h, usage, target, pool, resampling, colorKey);
    } catch (const PlatformError& error) {
        throw PlatformError(error.code(),
                            "cannot load " + QuotedName(fileName) + ": " + error.what());
    }
    if (imageInfo != nullptr) *imageInfo = info;
    return texture;
}

void D3DXLoadSurfaceFromSurface(Surface& dest, [[maybe_unused]] const PALETTEENTRY* destPalette,
                                const RECT* destRect, const Surface& src,
                                [[maybe_unused]] const PALETTEENTRY* srcPalette,
                                const RECT* srcRect, std::uint32_t filter, std::uint32_t colorKey,
                                const ProgressCallback& progress) {
    RequireUnlocked(dest, "destination");
    RequireUnlocked(src, "source");
    Require(dest.kind() != SurfaceKind::DepthStencil && src.kind() != SurfaceKind::DepthStencil,
            D3DERR_INVALIDCALL, "Depth surfaces cannot be loaded or read");
    const Filter resampling = FilterOf(filter);
    const RECT d = CheckedRect(dest, destRect, "destination");
    const RECT s = CheckedRect(src, srcRect, "source");
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    const D3DFORMAT destFormat = dest.storageFormat();
    Require(CanStore(destFormat), D3DERR_WRONGTEXTUREFORMAT,
            std::string("Cannot convert pixels to format ") + FormatName(destFormat));

    // Same format and size, no key: a straight copy of rows.
    if (destFormat == src.storageFormat() && dw == sw && dh == sh && colorKey == 0 &&
        &dest != &src) {
        const std::int64_t rowBytes = RowPitchBytes(destFormat, dw);
        const std::int64_t rows = StorageRows(destFormat, dh);
        const std::uint8_t* from = src.bits() + RectOffset(src, s);
        std::uint8_t* to = dest.bits() + RectOffset(dest, d);
        for (std::int64_t y = 0; y < rows; ++y) {
            std::memcpy(to + y * dest.pitch(), from + y * src.pitch(),
                        static_cast<std::size_t>(rowBytes));
        }
        dest.Touch();
        if (progress) progress(100);
        return;
    }

    // Into A8R8G8B8 rows that lie together (the whole width of dest), unkeyed and unscaled: the
    // source decodes straight into place.
    if (destFormat == D3DFMT_A8R8G8B8 && dw == sw && dh == sh && colorKey == 0 &&
        dw == dest.width() && &dest != &src) {
        DecodeToArgb(src.storageFormat(), src.bits() + RectOffset(src, s), src.pitch(), sw, sh,
                     reinterpret_cast<std::uint32_t*>(dest.bits() + RectOffset(dest, d)));
        dest.Touch();
        if (progress) progress(100);
        return;
    }

    ArgbBuffer argb = ReadArgb(src, s);
    ApplyColorKey(argb.data(), argb.size(), colorKey);
    argb = Resample(std::move(argb), sw, sh, dw, dh, resampling);
    StoreArgb(destFormat, argb.data(), dw, dh, dest.bits() + RectOffset(dest, d), dest.pitch(),
              progress);
    dest.Touch();
    if (progress && !IsBlockCompressed(destFormat)) progress(100);
}

StagedFile StageSurfaceToFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT format,
                              const Surface& surface, const RECT* srcRect) {
    FileParts parts;
    try {
        RequireUnlocked(surface, "source");
        Require(surface.kind() != SurfaceKind::DepthStencil, D3DERR_INVALIDCALL,
                "a depth surface cannot be saved");
        parts = EncodeFile(format, surface, CheckedRect(surface, srcRect, "source"));
    } catch (const PlatformError& error) {
        throw PlatformError(error.code(),
                            "cannot save " + QuotedName(fileName) + ": " + error.what());
    }
    return StagedFile(fileName, parts);
}

void D3DXSaveSurfaceToFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT format,
                           const Surface& surface, [[maybe_unused]] const PALETTEENTRY* palette,
                           const RECT* srcRect) {
    StageSurfaceToFile(fileName, format, surface, srcRect).Commit();
}

void D3DXSaveTextureToFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT format,
                           Texture& texture, const PALETTEENTRY* palette) {
    D3DXSaveSurfaceToFile(fileName, format, *texture.GetSurfaceLevel(0), palette, nullptr);
}

}  // namespace tintora
