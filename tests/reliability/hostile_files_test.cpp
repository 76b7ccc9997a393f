// Files that once crashed a reader, hung it or made it allocate far more than the file could
// justify (tests/data/fuzz-regressions) must be refused cleanly, without a large allocation
// first, or open as a valid texture: by the reader alone and through the editor's load path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>

#include "base/error.h"
#include "drawing/views.h"
#include "files/files_fixture.h"
#include "files/texture_load.h"
#include "imagefiles/image_file.h"
#include "support/address_sanitizer.h"

namespace {

// The largest single allocation since the last reset, from any library (libpng and Qt included).
std::atomic<std::size_t> largestAllocation{0};

void NoteAllocation(std::size_t size) {
    std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
    while (size > seen &&
           !largestAllocation.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}

#ifdef TINTORA_ASAN
void MallocHook(const volatile void*, std::size_t size) {
    NoteAllocation(size);
}
void FreeHook(const volatile void*) {}
[[maybe_unused]] const int hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook);
#endif
}  // namespace

#ifndef TINTORA_ASAN
// Every malloc of the process passes through here on its way to glibc's (operator new too).
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* malloc(std::size_t size) {
    NoteAllocation(size);
    return __libc_malloc(size);
}
#endif

namespace tintora::testing {
namespace {

using HostileFilesTest = FilesTest;

// A refused file may cost buffers of its own size, a texture's worth of scratch, not more.
constexpr std::size_t kRefusalAllocationLimit = 64u << 20;

TEST_F(HostileFilesTest, FuzzFoundFilesAreRefusedOrOpenCleanly) {
    const auto expectRefusedCheaply = [](const PlatformError& error, const std::string& path) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        EXPECT_LT(largestAllocation.load(), kRefusalAllocationLimit);
    };
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(TINTORA_TEST_DATA_DIR "/fuzz-regressions")) {
        const std::string path = entry.path().string();
        if (entry.path().extension() == ".md") continue;
        SCOPED_TRACE(path);
        ++files;
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        largestAllocation = 0;
        try {
            const DecodedImage image = DecodeImageFile(bytes, path, nullptr);
            EXPECT_TRUE(image.width >= 1 && image.width <= kMaxTextureSize);
            EXPECT_TRUE(image.height >= 1 && image.height <= kMaxTextureSize);
        } catch (const PlatformError& error) {
            expectRefusedCheaply(error, path);
        }
        largestAllocation = 0;
        try {
            const std::int32_t x = LoadTextureFile(path, {}, ui.Access());
            EXPECT_EQ(TextureAt(x).Texture->format(), D3DFMT_A8R8G8B8);
            CloseTextureWindow(Module1().ActiveWindowIndex);
            windows.clear();
        } catch (const PlatformError& error) {
            expectRefusedCheaply(error, path);
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tintora::testing
