// libFuzzer harness: the bitmap reader on arbitrary bytes, as a bitmap file when they start with
// "BM" and as a packed DIB (no file header) otherwise.
#include <cstddef>
#include <cstdint>

#include "base/error.h"
#include "fuzz_support.h"
#include "imagefiles/bmp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        tintora::fuzz::CheckDecoded(tintora::LooksLikeBmp(bytes)
                                        ? tintora::DecodeBmp(bytes, "fuzz.bmp")
                                        : tintora::DecodePackedDib(bytes, "fuzz.dib"));
    } catch (const tintora::PlatformError&) {
    }
    return 0;
}
