// Prints how fast a view redraw is, on one thread and on all threads: DrawQuad of a 2048 x 2048
// texture stretched into a 1280 x 960 target (linear and point filtering), and drawn 1:1 into a
// 2048 x 2048 target (the normal view of a window as large as the texture), opaque and with
// alpha, beside a plain copy of the same pixels (the floor).
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <cstdio>
#include <cstring>

#include "bench_support.h"
#include "document/module1.h"

using namespace tintora;

namespace {

// The median of 15 redraws (target cleared, texture drawn into width x height of it), after two
// that warm up.
double MedianMilliseconds(const std::shared_ptr<Texture>& texture,
                          const std::shared_ptr<Surface>& target, bool smooth,
                          float width = 1279.0f, float height = 959.0f) {
    Device& device = *Module1().Device;
    const auto redraw = [&] {
        device.SetRenderTarget(target, nullptr);
        device.BeginScene();
        device.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        DrawQuad(0.0f, 0.0f, width, height, texture, smooth, 1.0f, 1.0f, false);
        device.EndScene();
    };
    return bench::MedianMilliseconds(redraw, 15, 2);
}

}  // namespace

int main() {
    Device& device = bench::StartModule1Device();

    const int size = 2048;
    auto texture = device.CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    D3DLOCKED_RECT lr = texture->LockRect(0, nullptr, 0);
    auto* texels = static_cast<std::uint32_t*>(lr.pBits);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            texels[y * size + x] = 0xFF000000u | static_cast<std::uint32_t>((x ^ y) * 2654435761u);
        }
    }
    texture->UnlockRect(0);
    auto target = device.CreateImageSurface(1280, 960, D3DFMT_X8R8G8B8);

    const double megapixels = 1279.0 * 959.0 / 1e6;
    const int threads = tbb::info::default_concurrency();
    std::printf("DrawQuad: 2048x2048 texture stretched to 1280x960\n");
    for (bool smooth : {true, false}) {
        for (int n : {1, threads}) {
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                      static_cast<std::size_t>(n));
            const double ms = MedianMilliseconds(texture, target, smooth);
            std::printf("  %-7s filtering, %d thread%s: %8.2f ms  %8.1f Mpixel/s\n",
                        smooth ? "linear" : "point", n, n == 1 ? " " : "s", ms,
                        megapixels / (ms / 1000.0));
        }
    }

    // 1:1 into a target of the texture's size, once opaque and once with alpha everywhere.
    auto square = device.CreateImageSurface(size, size, D3DFMT_X8R8G8B8);
    const double squareMegapixels = static_cast<double>(size) * size / 1e6;
    std::printf("DrawQuad: 2048x2048 texture 1:1 into 2048x2048\n");
    for (const bool translucent : {false, true}) {
        lr = texture->LockRect(0, nullptr, 0);
        texels = static_cast<std::uint32_t*>(lr.pBits);
        for (int i = 0; i < size * size; ++i) {
            texels[i] = (texels[i] & 0x00FFFFFFu) |
                        (translucent ? static_cast<std::uint32_t>(i % 251) << 24 : 0xFF000000u);
        }
        texture->UnlockRect(0);
        for (int n : {1, threads}) {
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                      static_cast<std::size_t>(n));
            const double ms = MedianMilliseconds(texture, square, false, static_cast<float>(size),
                                                 static_cast<float>(size));
            std::printf("  %-11s %d thread%s: %8.2f ms  %8.1f Mpixel/s\n",
                        translucent ? "alpha," : "opaque,", n, n == 1 ? " " : "s", ms,
                        squareMegapixels / (ms / 1000.0));
        }
    }
    // The floor: clearing the target and copying the texels over it, one thread.
    {
        D3DLOCKED_RECT to = square->LockRect(nullptr, 0);
        lr = texture->LockRect(0, nullptr, 0);
        const double ms = bench::MedianMilliseconds(
            [&] {
                std::memset(to.pBits, 0, static_cast<std::size_t>(size) * size * 4);
                std::memcpy(to.pBits, lr.pBits, static_cast<std::size_t>(size) * size * 4);
            },
            15);
        texture->UnlockRect(0);
        square->UnlockRect();
        std::printf("  floor (clear + memcpy), 1 thread: %8.2f ms\n", ms);
    }
    return 0;
}
