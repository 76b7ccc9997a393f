// libFuzzer harness: the editor's whole load path on arbitrary files. The first byte of the input
// picks the file's ending (the reader is chosen by content first, then by ending), the rest is the
// file; it is written to a scratch file and read with ReadWorkingTexture on a software device,
// as File > Open does: reader choice, our readers or Qt's (PNG, JPEG), the size checks, the
// conversion to the working format and the premultiplied route for DXT2/DXT4.
//
// A successful read must give an A8R8G8B8 texture of an allowed size. LeakSanitizer
// (on by default in libFuzzer) reports anything a failed read leaves allocated.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/error.h"
#include "document/module1.h"
#include "files/texture_load.h"
#include "fuzz_support.h"
#include "support/test_device.h"

namespace {

constexpr const char* kEndings[] = {".bmp", ".dib", ".tga", ".png", ".jpg", ".dds", ".bin"};
constexpr std::size_t kEndingCount = sizeof kEndings / sizeof kEndings[0];

std::string ScratchPath(const char* ending) {
    // tmpfs when there is one: every run writes a file.
    const std::filesystem::path dir =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (dir / ("tintora-load-fuzz-" + std::to_string(::getpid()) + ending)).string();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto& state = tintora::Module1();
    state.D3D = tintora::Direct3DCreate8();
    state.Device = tintora::testing::MakeTestDevice(state.D3D);
    state.PresentParams = tintora::testing::TestPresentParams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string path = ScratchPath(kEndings[data[0] % kEndingCount]);
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        const bool written = std::fwrite(data + 1, 1, size - 1, file) == size - 1;
        if (std::fclose(file) != 0 || !written) tintora::fuzz::Fail("cannot write the scratch file");
    } else {
        tintora::fuzz::Fail("cannot create the scratch file");
    }
    try {
        const auto texture = tintora::ReadWorkingTexture(path, {});
        if (texture->format() != tintora::D3DFMT_A8R8G8B8 || texture->width() < 1 ||
            texture->height() < 1 || texture->width() > tintora::kMaxTextureSize ||
            texture->height() > tintora::kMaxTextureSize) {
            tintora::fuzz::Fail("the working texture is not A8R8G8B8 of an allowed size");
        }
    } catch (const tintora::PlatformError&) {
    }
    std::remove(path.c_str());
    return 0;
}
