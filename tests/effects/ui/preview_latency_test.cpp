// How long a live preview of a 2048 x 2048 texture takes in the editor, and how a drag of a
// slider at mouse speed is followed. Prints figures; asserts only that the result is right.
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "adjustment_fixture.h"
#include "drawing/views.h"
#include "effects/ui/effect_commands.h"

namespace tintora::testing {
namespace {

constexpr int kSize = 2048;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

using PreviewLatencyTest = AdjustmentTest;

TEST_F(PreviewLatencyTest, OnePreviewOfA2048Texture) {
    OpenPicture(kSize, kSize);
    const std::int32_t slot = document;
    const std::int32_t x = texture();
    struct Kind {
        const char* name;
        std::function<void(int)> compute;
    };
    const Kind kinds[] = {
        {"contrast/luminosity",
         [x](int v) { AdjustContrastLuminosity(x, 1, ContrastFactor(v), -v, StatusLine()); }},
        {"hue/saturation", [x](int v) { AdjustHueSaturation(x, 1, v, -v, StatusLine()); }},
    };
    for (const Kind& kind : kinds) {
        std::vector<double> compute;
        std::vector<double> render;
        for (int run = 1; run <= 5; ++run) {
            QElapsedTimer clock;
            clock.start();
            kind.compute(10 * run);
            compute.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            clock.restart();
            RenderDocument(slot, true);
            render.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        std::printf(
            "[ latency  ] %s preview of %dx%d (window %dx%d): %.1f ms = copy out + "
            "adjust + copy in %.1f ms + RenderDocument %.1f ms (median of 5)\n",
            kind.name, kSize, kSize, window->width(), window->height(),
            Median(compute) + Median(render), Median(compute), Median(render));
    }
    EXPECT_EQ(PreviewBytes(), HueSaturated(picture.bytes, 50, -50));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PreviewLatencyTest, ADragAtMouseSpeedOnA2048Texture) {
    OpenPicture(kSize, kSize);
    // The hand: every 16 ms (also in the previews' pending messages) the slider goes where the
    // hand is by then, 3 degrees further for every 16 ms, up to 120 degrees.
    constexpr int kSteps = 40;
    constexpr int kIntervalMs = 16;
    WhenModal<Form8> script([&](Form8& form) {
        const int before = form.scheduler().previewsStarted();
        QElapsedTimer clock;
        QTimer hand;
        hand.setInterval(kIntervalMs);
        int changes = 0;
        qint64 lastMove = 0;
        QObject::connect(&hand, &QTimer::timeout, [&] {
            const auto step = std::min<qint64>(kSteps, clock.elapsed() / kIntervalMs + 1);
            if (form.HScroll1->value() != 3 * step) {
                ++changes;
                form.HScroll1->setValue(static_cast<int>(3 * step));
            }
            if (step == kSteps) {
                hand.stop();
                lastMove = clock.elapsed();
            }
        });
        clock.start();
        hand.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !hand.isActive(); }, 60000));
        Settle(form);
        const qint64 settled = clock.elapsed();
        std::printf(
            "[ latency  ] hue drag on %dx%d over %d ms: %d slider changes, %d previews "
            "computed, the last one shown %lld ms after the last change\n",
            kSize, kSize, kSteps * kIntervalMs, changes,
            form.scheduler().previewsStarted() - before,
            static_cast<long long>(settled - lastMove));
        EXPECT_EQ(PreviewBytes(), HueSaturated(picture.bytes, 3 * kSteps, 0));
        form.Command2->click();
    });
    editor->huesatu->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
