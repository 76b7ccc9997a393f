#include "imagefiles/image_codec.h"

#include <new>

#include "base/error.h"

namespace tintora {

void ThrowBadImage(const std::string& fileName, const std::string& what) {
    throw PlatformError(D3DXERR_INVALIDDATA, QuotedName(fileName) + " " + what);
}

void RequireTextureSize(const std::string& fileName, std::int64_t width, std::int64_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 1 || height < 1) ThrowBadImage(fileName, "is zero-sized (" + size + " pixels)");
    if (width > kMaxTextureSize || height > kMaxTextureSize) {
        ThrowBadImage(fileName, "is " + size + " pixels, larger than the largest texture (" +
                                    std::to_string(kMaxTextureSize) + " x " +
                                    std::to_string(kMaxTextureSize) + ")");
    }
}

void RequireImageBytes(const std::string& fileName, std::int64_t width, std::int64_t height,
                       const std::string& layout, std::uint64_t needed, std::uint64_t available) {
    if (needed <= available) return;
    ThrowBadImage(fileName, "claims " + std::to_string(width) + " x " + std::to_string(height) +
                                " pixels (" + std::to_string(needed) + " bytes of " + layout +
                                ") but holds only " + std::to_string(available) +
                                ": the file is truncated or its header is wrong");
}

ByteBuffer AllocatePixels(const std::string& fileName, std::size_t bytes) {
    try {
        return PagedBytes(bytes);
    } catch (const std::bad_alloc&) {
        throw PlatformError(E_OUTOFMEMORY, "not enough memory to read " + QuotedName(fileName) +
                                               " (" + std::to_string(bytes) + " bytes)");
    }
}

}  // namespace tintora
