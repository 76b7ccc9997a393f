// Prints how long one 3D preview frame takes: a 256 x 256 texture on the sphere and on the wall,
// in views of 256 x 256, 320 x 240 and 1024 x 768 pixels, on one thread and on all threads. The
// frame includes the clear, the drawing and the present (a copy of the back buffer, as the
// preview's picture box makes). The timer that draws the frames ticks every 40 ms.
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "device/mesh_x.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "preview/preview_frame.h"

using namespace tintora;

namespace {

// Keeps a copy of every presented image, as the picture box does.
class CopyingPicture : public PresentTarget {
  public:
    int ClientWidth() const override { return 0; }
    int ClientHeight() const override { return 0; }
    void PresentImage(const ImageView& image) override {
        copy_.resize(static_cast<std::size_t>(image.width) * image.height * 4);
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(&copy_[static_cast<std::size_t>(y) * image.width * 4],
                        image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch,
                        static_cast<std::size_t>(image.width) * 4);
        }
    }

  private:
    std::vector<std::uint8_t> copy_;
};

}  // namespace

int main() {
    auto& state = Module1();
    bench::StartModule1Device(true);
    CopyingPicture picture;
    // The preview document presents into the picture; nothing else of a window system is needed.
    struct PictureBoxOnly : DocumentWindows {
        PresentTarget* box;
        explicit PictureBoxOnly(PresentTarget* target) : box(target) {}
        DocumentWindow* CreateTextureWindow(std::int32_t) override { return nullptr; }
        PresentTarget* PreviewPictureBox() override { return box; }
        void ShowPreviewWindow() override {}
        void HidePreviewWindow() override {}
    } windows(&picture);
    state.SphereMesh =
        LoadMeshFromX(std::string(TINTORA_DATA_DIR) + "/sphere.x", D3DXMESH_MANAGED, state.Device);

    // A 256 x 256 texture window, drawn once so the device holds its states.
    const int size = 256;
    const std::int32_t entry = CreateTextureEntry(size, size, true);
    Texture& texture = *TextureAt(entry).Texture;
    D3DLOCKED_RECT lr = texture.LockRect(0, nullptr, 0);
    auto* texels = static_cast<std::uint32_t*>(lr.pBits);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            texels[y * size + x] = 0xFF000000u | static_cast<std::uint32_t>((x ^ y) * 2654435761u);
        }
    }
    texture.UnlockRect(0);
    const std::int32_t window = CreateDocument(size, size, false, false);
    DocumentAt(window).TextureIndex = entry;
    state.ActiveWindowIndex = window;
    RenderDocument(window, false);
    state.PreviewDocIndex = CreateDocument(256, 256, true, true, &windows);
    DocumentAt(state.PreviewDocIndex).IsPreview = true;

    const int threads = tbb::info::default_concurrency();
    std::printf("3D preview frame: 256x256 texture, auto-rotating; median of 25 frames\n");
    std::printf("  %-10s %-7s %12s %12s\n", "view", "shape", "1 thread",
                (std::to_string(threads) + " threads").c_str());
    const int views[][2] = {{256, 256}, {320, 240}, {1024, 768}};
    for (const auto& size2 : views) {
        ResizeSwapChain(state.PreviewDocIndex, size2[0], size2[1], &windows);
        for (bool sphere : {true, false}) {
            PreviewCamera camera;
            PreviewFrameView view;
            view.sphere = sphere;
            view.autoRotate = true;
            view.pictureWidth = static_cast<float>(size2[0]);
            view.pictureHeight = static_cast<float>(size2[1]);
            double ms[2] = {0.0, 0.0};
            int column = 0;
            for (int n : {1, threads}) {
                tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                          static_cast<std::size_t>(n));
                ms[column++] =
                    bench::MedianMilliseconds([&] { DrawPreviewFrame(camera, view); }, 25, 3);
            }
            std::printf("  %4dx%-5d %-7s %9.2f ms %9.2f ms\n", size2[0], size2[1],
                        sphere ? "sphere" : "wall", ms[0], ms[1]);
        }
    }
    return 0;
}
