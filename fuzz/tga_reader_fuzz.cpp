// libFuzzer harness: the TGA reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "base/error.h"
#include "fuzz_support.h"
#include "imagefiles/tga_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        tintora::fuzz::CheckDecoded(tintora::DecodeTga({data, size}, "fuzz.tga"));
    } catch (const tintora::PlatformError&) {
    }
    return 0;
}
