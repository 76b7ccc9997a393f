// A long session in one process: textures opened, adjusted, saved and closed a hundred times.
// Afterwards the heap and the device's texture memory must be back where they started.
#include <gtest/gtest.h>
#include <malloc.h>

#include "device/d3dx_file.h"
#include "drawing/views.h"
#include "effects/texture_effects.h"
#include "files/files_fixture.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "support/address_sanitizer.h"
#include "support/synthetic_photo.h"

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

using SoakTest = FilesTest;

TEST_F(SoakTest, MemoryReturnsToItsStartAfterAHundredSessions) {
    // Sources of every type the editor opens, 128 x 128 (a buffer lost a round: 64 KiB each).
    const auto argb = ArgbSurface(device(), 128, 128, SyntheticPhoto(128, 128, true, 1));
    const auto dxt5 = device().CreateImageSurface(128, 128, D3DFMT_DXT5);
    D3DXLoadSurfaceFromSurface(*dxt5, nullptr, nullptr, *argb, nullptr, nullptr,
                               D3DX_DEFAULT_FILTER, 0);
    const std::pair<const char*, D3DXIMAGE_FILEFORMAT> files[] = {
        {"a.bmp", D3DXIFF_BMP}, {"a.tga", D3DXIFF_TGA}, {"a.png", D3DXIFF_PNG},
        {"a.jpg", D3DXIFF_JPG}, {"a.dds", D3DXIFF_DDS}, {"b.dds", D3DXIFF_DDS}};
    std::vector<std::string> sources;
    for (const auto& [name, type] : files) {
        sources.push_back(scratch.File(name));
        D3DXSaveSurfaceToFile(sources.back(), type, name[0] == 'b' ? *dxt5 : *argb, nullptr,
                              nullptr);
    }
    // One round: open, adjust (a previewed contrast change taken with OK, then an inversion),
    // save as a bitmap or a DDS, close the window.
    const auto round = [&](int n) {
        const std::int32_t x = LoadTextureFile(sources[n % sources.size()], {}, ui.Access());
        AdjustContrastLuminosity(x, 1, 1.25f, 10);
        CommitPreview(x);
        InvertColors(x);
        const bool bitmap = n % 2 == 0;
        EXPECT_EQ(SaveTexture(x, scratch.File(bitmap ? "out.bmp" : "out.dds"),
                              bitmap ? kSaveBitmap : kSaveDds, [](auto&) { return "32"; }),
                  SaveOutcome::Written);
        CloseTextureWindow(Module1().ActiveWindowIndex);
        windows.clear();  // the window system owns a closed window; here the fixture does
        statusTexts.clear();
    };
    // Warm-up: the one-off allocations (thread pools, image plugins, first slots) come first.
    for (int n = 0; n < 12; ++n)
        round(n);
    const std::int64_t heapStart = HeapInUse();
    const std::uint32_t deviceStart = device().GetAvailableTextureMem();
    for (int n = 0; n < 100; ++n)
        round(n);
    EXPECT_EQ(device().GetAvailableTextureMem(), deviceStart);
    // Allocator bookkeeping may move a little (measured: not at all); a buffer of one texture
    // lost in every round would add 6 MiB, a 100-byte string 10 KiB.
    EXPECT_LT(HeapInUse() - heapStart, 4 * 1024) << heapStart << " -> " << HeapInUse();
}

}  // namespace
}  // namespace tintora::testing
