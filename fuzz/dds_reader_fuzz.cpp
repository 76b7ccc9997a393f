// libFuzzer harness: the DDS reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "base/error.h"
#include "fuzz_support.h"
#include "imagefiles/dds_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        tintora::fuzz::CheckDecoded(tintora::DecodeDds({data, size}, "fuzz.dds"));
    } catch (const tintora::PlatformError&) {
    }
    return 0;
}
