// Prints how long a texture window's redraw takes: RenderDocument of a 4096 x 4096 texture (with
// alpha) in a 1280 x 960 window, including the present into a window that copies the image, at
// the Normal view's zooms 1/8, 1, 4 and 32 (grid and checkerboard on), in the Tiled view at 1/4,
// and in the Stretch (filtering) view, on one thread and on all. Zoomed out, the first redraw
// after a change of the texture makes its reduced copies: printed apart ("after a change").
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "document/module1.h"
#include "drawing/views.h"

using namespace tintora;

namespace {

constexpr int kTextureSize = 4096;
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 960;

// A window that keeps a copy of each presented image, as the editor's texture window does.
class CopyingWindow : public DocumentWindow {
  public:
    void SetCaption(const std::string&) override {}
    std::string Caption() const override { return {}; }
    WindowTag Tag() const override { return tag_; }
    void SetTag(WindowTag tag) override { tag_ = tag; }
    void Repaint() override {}
    void SetClientSize(int, int) override {}
    void CloseWindow() override {}
    int ClientWidth() const override { return kWindowWidth; }
    int ClientHeight() const override { return kWindowHeight; }
    void PresentImage(const ImageView& image) override {
        copy_.resize(static_cast<std::size_t>(image.width) * image.height);
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(copy_.data() + static_cast<std::size_t>(y) * image.width,
                        image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch,
                        static_cast<std::size_t>(image.width) * 4);
        }
    }

  private:
    WindowTag tag_ = WindowTag::Creating;
    std::vector<std::uint32_t> copy_;
};

class OneWindow : public DocumentWindows {
  public:
    DocumentWindow* CreateTextureWindow(std::int32_t) override { return &window; }
    PresentTarget* PreviewPictureBox() override { return nullptr; }
    void ShowPreviewWindow() override {}
    void HidePreviewWindow() override {}
    CopyingWindow window;
};

// The median of runs redraws; with touch, the texture is changed before each (as every slider
// move of an effect's preview changes it).
double MedianRedraw(std::int32_t slot, int runs, bool touch) {
    std::vector<double> times;
    const auto level = TextureAt(DocumentAt(slot).TextureIndex).Texture->GetSurfaceLevel(0);
    for (int i = 0; i < runs; ++i) {
        if (touch) level->Touch();
        const auto start = bench::Clock::now();
        RenderDocument(slot, false);
        times.push_back(bench::Since(start));
    }
    return bench::Median(times);
}

}  // namespace

int main() {
    bench::StartModule1Device();

    const std::int32_t entry = CreateTextureEntry(kTextureSize, kTextureSize, true);
    auto& texture = *TextureAt(entry).Texture;
    const D3DLOCKED_RECT lr = texture.LockRect(0, nullptr, 0);
    auto* texels = static_cast<std::uint32_t*>(lr.pBits);
    for (int y = 0; y < kTextureSize; ++y) {
        for (int x = 0; x < kTextureSize; ++x) {
            const auto noise = static_cast<std::uint32_t>((x ^ y) * 2654435761u);
            // A quarter of the texture (a band of rows) holds alpha, as a sprite sheet would.
            const std::uint32_t alpha = y % 64 < 16 ? (noise >> 24) : 0xFFu;
            texels[static_cast<std::size_t>(y) * kTextureSize + x] =
                (alpha << 24) | (noise & 0x00FFFFFFu);
        }
    }
    texture.UnlockRect(0);

    OneWindow windows;
    const std::int32_t slot = CreateDocument(kWindowWidth, kWindowHeight, true, false, &windows);
    DocumentAt(slot).TextureIndex = entry;

    struct View {
        const char* name;
        ViewMode mode;
        double zoom;
    };
    const View views[] = {{"Normal 1/8", ViewMode::Normal, 0.125},
                          {"Normal 1", ViewMode::Normal, 1},
                          {"Normal 4", ViewMode::Normal, 4},
                          {"Normal 32", ViewMode::Normal, 32},
                          {"Tiled 1/4", ViewMode::Tiled, 0.25},
                          {"Stretch (filtering)", ViewMode::StretchFiltering, 1}};
    const int threads = tbb::info::default_concurrency();
    std::printf("Redraw of a %dx%d texture in a %dx%d window (median ms)\n", kTextureSize,
                kTextureSize, kWindowWidth, kWindowHeight);
    for (const View& view : views) {
        for (const int n : {1, threads}) {
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                      static_cast<std::size_t>(n));
            DocumentAt(slot).ViewMode = view.mode;
            DocumentAt(slot).Zoom = view.zoom;
            MedianRedraw(slot, 2, false);  // warm up
            std::printf("  %-20s %d thread%s: %8.2f ms", view.name, n, n == 1 ? " " : "s",
                        MedianRedraw(slot, 15, false));
            if (view.zoom < 1)
                std::printf("   after a change: %8.2f ms", MedianRedraw(slot, 5, true));
            std::printf("\n");
        }
    }
    return 0;
}
