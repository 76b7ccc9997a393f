// Prints what the undo history costs on a 4096 x 4096 photograph-like texture: for each kind of
// step the time to record it (on top of the operation), the bytes it keeps, and the time of its
// undo and redo (texture and pixel buffer restored, before any redraw); then how many bytes 50
// steps of all kinds keep against the 1 GiB bound.
//
// Usage: bench_history [size]   (default 4096)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "alpha/alpha_texture.h"
#include "bench_support.h"
#include "document/history.h"
#include "document/module1.h"
#include "effects/texture_effects.h"
#include "photo_like.h"
#include "support/test_device.h"

using namespace tintora;
using bench::Clock;
using bench::Since;

namespace {

struct Kind {
    const char* name;
    std::function<void(std::int32_t)> run;
};

}  // namespace

int main(int argc, char** argv) {
    const int size = argc > 1 ? std::atoi(argv[1]) : 4096;
    Module1().D3D = Direct3DCreate8();
    Module1().Device = testing::MakeTestDevice(Module1().D3D);
    const std::int32_t slot = CreateTextureEntry(size, size, true);
    const std::vector<std::uint8_t> photo = PhotoLike(size);
    std::memcpy(TextureAt(slot).Pixels.data(), photo.data(), photo.size());
    CopyIn(slot, 0);

    const std::vector<Kind> kinds = {
        {"invert", [](std::int32_t t) { InvertColors(t); }},
        {"equalize", [](std::int32_t t) { Equalize(t); }},
        {"auto contrast", [](std::int32_t t) { AutoContrast(t); }},
        {"hue/saturation +30/+20",
         [](std::int32_t t) {
             AdjustHueSaturation(t, 1, 30, 20);
             CommitPreview(t);
         }},
        {"contrast/luminosity 1.2/+10",
         [](std::int32_t t) {
             AdjustContrastLuminosity(t, 1, 1.2f, 10);
             CommitPreview(t);
         }},
        {"alpha from green",
         [](std::int32_t t) {
             AlphaFromOwnChannel(t, AlphaChannel::Green);
             CommitAlphaPreview(t);
         }},
    };

    std::printf("%d x %d texture, %zu MiB of pixels\n\n", size, size,
                photo.size() / (1024 * 1024));
    std::printf("| step | operation ms | record ms | kept MiB | undo ms | redo ms |\n");
    std::printf("| --- | ---: | ---: | ---: | ---: | ---: |\n");
    for (const Kind& kind : kinds) {
        // The operation alone, then undone so both runs start from the same pixels.
        auto start = Clock::now();
        kind.run(slot);
        const double operation = Since(start);
        std::memcpy(TextureAt(slot).Pixels.data(), photo.data(), photo.size());
        CopyIn(slot, 0);
        DropHistory(slot);

        start = Clock::now();
        RecordStep(slot, kind.name, [&kind, slot] { kind.run(slot); });
        const double recorded = Since(start) - operation;
        const double kept = static_cast<double>(HistoryBytes()) / (1024.0 * 1024.0);
        double undo = 1e9;
        double redo = 1e9;
        for (int i = 0; i < 3; ++i) {
            start = Clock::now();
            UndoStep(slot);
            undo = std::min(undo, Since(start));
            start = Clock::now();
            RedoStep(slot);
            redo = std::min(redo, Since(start));
        }
        std::printf("| %s | %.0f | %.0f | %.1f | %.0f | %.0f |\n", kind.name, operation,
                    std::max(0.0, recorded), kept, undo, redo);
        UndoStep(slot);
        DropHistory(slot);
    }

    // 50 steps, the kinds in turn, each on the result of the last.
    DropHistory(slot);
    for (int i = 0; i < 50; ++i) {
        const Kind& kind = kinds[static_cast<std::size_t>(i) % kinds.size()];
        RecordStep(slot, kind.name, [&kind, slot] { kind.run(slot); });
    }
    std::size_t steps = TextureAt(slot).History.Steps.size();
    std::printf("\n50 steps of these kinds in turn: %zu kept, %.0f MiB (bound %zu MiB)\n", steps,
                static_cast<double>(HistoryBytes()) / (1024.0 * 1024.0),
                kDefaultHistoryLimit / (1024 * 1024));
    ResetModule1();
    return 0;
}
