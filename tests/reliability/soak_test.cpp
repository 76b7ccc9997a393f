// A long session in one process: textures opened, adjusted, saved and closed a hundred times
// on the software device. Afterwards the heap and the device's texture memory must be back where
// they started: the tables may keep their slots, but every pixel buffer, texture and file buffer
// of a closed texture has to be freed.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/d3dx_file.h"
#include "drawing/views.h"
#include "effects/texture_effects.h"
#include "files/files_fixture.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "support/address_sanitizer.h"

namespace tintora::testing {
namespace {

// Bytes the process has allocated and not freed (the sanitizer's allocator replaces malloc's).
std::int64_t HeapInUse() {
#ifdef TINTORA_ASAN
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}

class SoakTest : public FilesTest {
  protected:
    // Source files of every type the editor opens, 128 x 128 so that one leaked buffer a round
    // (64 KiB) stands far above the tolerance.
    std::vector<std::string> WriteSources() {
        constexpr int kSide = 128;
        std::vector<std::uint32_t> pixels(kSide * kSide);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | 0x80000000u;
        const auto surface = ArgbSurface(device(), kSide, kSide, pixels);
        const auto dxt5 = device().CreateImageSurface(kSide, kSide, D3DFMT_DXT5);
        D3DXLoadSurfaceFromSurface(*dxt5, nullptr, nullptr, *surface, nullptr, nullptr,
                                   D3DX_DEFAULT_FILTER, 0);
        std::vector<std::string> paths;
        const struct {
            const char* name;
            D3DXIMAGE_FILEFORMAT type;
            const Surface* source;
        } files[] = {{"a.bmp", D3DXIFF_BMP, surface.get()}, {"a.tga", D3DXIFF_TGA, surface.get()},
                     {"a.png", D3DXIFF_PNG, surface.get()}, {"a.jpg", D3DXIFF_JPG, surface.get()},
                     {"a.dds", D3DXIFF_DDS, surface.get()}, {"b.dds", D3DXIFF_DDS, dxt5.get()}};
        for (const auto& f : files) {
            paths.push_back(scratch.File(f.name));
            D3DXSaveSurfaceToFile(paths.back(), f.type, *f.source, nullptr, nullptr);
        }
        return paths;
    }

    // One round: open, adjust (a previewed contrast change taken with OK, then an inversion),
    // save in one of the written types, close the window.
    void Round(int round, const std::vector<std::string>& sources) {
        const std::string& source = sources[static_cast<std::size_t>(round) % sources.size()];
        const std::int32_t x = LoadTextureFile(source, {}, ui.Access());
        const std::int32_t window = Module1().ActiveWindowIndex;
        ASSERT_EQ(DocumentAt(window).TextureIndex, x);
        AdjustContrastLuminosity(x, 1, 1.25f, 10);
        CommitPreview(x);
        InvertColors(x);
        const bool bitmap = round % 2 == 0;
        const auto outcome = SaveTexture(x, scratch.File(bitmap ? "out.bmp" : "out.dds"),
                                         bitmap ? kSaveBitmap : kSaveDds,
                                         [](const std::string&) { return std::string("32"); });
        ASSERT_EQ(outcome, SaveOutcome::Written);
        // The window system owns a closed window; here the fixture does, so it lets it go.
        const DocumentWindow* shown = DocumentAt(window).Window;
        CloseTextureWindow(window);
        std::erase_if(windows, [shown](const auto& w) { return w.get() == shown; });
        statusTexts.clear();
    }
};

TEST_F(SoakTest, MemoryReturnsToItsStartAfterAHundredSessions) {
    constexpr int kRounds = 100;
    const std::vector<std::string> sources = WriteSources();
    // Warm-up: a round of each type makes the one-off allocations (thread pools, Qt's image
    // plugins, the tables' first slots) before the baseline.
    for (int round = 0; round < static_cast<int>(sources.size()) * 2; ++round) {
        Round(round, sources);
        if (HasFatalFailure()) return;
    }
    const std::int64_t heapStart = HeapInUse();
    const std::uint32_t deviceStart = device().GetAvailableTextureMem();
    const std::size_t documentSlots = Module1().DocumentTable.size();
    const std::size_t textureSlots = Module1().TextureTable.size();

    for (int round = 0; round < kRounds; ++round) {
        Round(round, sources);
        if (HasFatalFailure()) return;
    }
    const std::int64_t heapEnd = HeapInUse();
    const std::uint32_t deviceEnd = device().GetAvailableTextureMem();
    EXPECT_EQ(deviceEnd, deviceStart);
    // Closing reuses the slots: the tables did not grow.
    EXPECT_EQ(Module1().DocumentTable.size(), documentSlots);
    EXPECT_EQ(Module1().TextureTable.size(), textureSlots);
    // Allocator bookkeeping may move a little (measured: not at all); a buffer of one texture
    // (64 KiB) lost in every round would add 6 MiB, a 100-byte string 10 KiB.
    EXPECT_LT(heapEnd - heapStart, 4 * 1024) << heapStart << " -> " << heapEnd;
}

}  // namespace
}  // namespace tintora::testing
