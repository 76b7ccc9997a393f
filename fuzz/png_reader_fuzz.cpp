// libFuzzer harness: our PNG reader on arbitrary bytes, two ways. Decoding in the file's own memory
// (the IDAT chunks joined where they lie) must give what decoding a read-only copy gives, and a
// file the reader leaves to Qt's must come back exactly as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "base/error.h"
#include "fuzz_support.h"
#include "imagefiles/png_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tintora::DecodedImage;
    std::optional<DecodedImage> copied;
    try {
        copied = tintora::DecodeCommonPng({data, size}, "fuzz.png");
    } catch (const tintora::PlatformError&) {
        return 0;  // out of memory for a huge claimed size: refused before decoding
    }
    std::vector<std::uint8_t> own(data, data + size);
    const std::optional<DecodedImage> inPlace = tintora::DecodeCommonPngInPlace(own, "fuzz.png");
    if (copied.has_value() != inPlace.has_value())
        tintora::fuzz::Fail("in place decides otherwise");
    if (!inPlace) {
        if (size != 0 && std::memcmp(own.data(), data, size) != 0) {
            tintora::fuzz::Fail("a file left to Qt's reader was changed");
        }
        return 0;
    }
    tintora::fuzz::CheckDecoded(*inPlace);
    if (inPlace->width != copied->width || inPlace->height != copied->height ||
        inPlace->bytes != copied->bytes) {
        tintora::fuzz::Fail("in place decodes other pixels");
    }
    return 0;
}
