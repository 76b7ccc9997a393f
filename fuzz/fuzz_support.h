// What every fuzz harness shares: the check that a decoded image is what the readers promise.
//
// A harness feeds bytes to a reader; a PlatformError is a clean refusal and ends the run quietly.
// Anything else ends it loudly: another exception escapes to libFuzzer (which reports it as a
// crash), the sanitizers catch bad memory use and undefined behaviour, and a decoded image that
// breaks the readers' contract (size out of range, byte count not matching the size) aborts here.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "base/d3d8_types.h"
#include "imagefiles/image_codec.h"

namespace tintora::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A decoded image has a size the device accepts and exactly the bytes that size needs.
inline void CheckDecoded(const DecodedImage& image) {
    if (image.width < 1 || image.height < 1 || image.width > kMaxTextureSize ||
        image.height > kMaxTextureSize) {
        Fail("decoded size outside 1..kMaxTextureSize");
    }
    const auto expected = static_cast<std::size_t>(RowPitchBytes(image.format, image.width)) *
                          static_cast<std::size_t>(StorageRows(image.format, image.height));
    if (image.bytes.size() != expected) Fail("decoded byte count does not match the size");
}

}  // namespace tintora::fuzz
