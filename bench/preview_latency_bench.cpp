// Prints how long a live preview of a 2048 x 2048 texture takes in the running editor (on Qt's
// offscreen platform, with scripted services), and how a drag of the hue slider at mouse speed is
// followed: slider changes, previews computed, and the delay of the last preview.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/mdi_form1.h"
#include "bench_editor.h"
#include "bench_support.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"
#include "effects/texture_effects.h"
#include "effects/ui/effect_commands.h"
#include "effects/ui/form8.h"

using namespace tintora;
using bench::Median;
using bench::MillisecondsSince;
using bench::WhenModal;

namespace {

constexpr int kSize = 2048;

// Contrast/luminosity and hue/saturation previews computed and drawn five times each.
void OnePreview(MDIForm1& editor, std::int32_t document, const DocumentWindow& window) {
    const std::int32_t texture = DocumentAt(document).TextureIndex;
    struct Kind {
        const char* name;
        std::function<void(int)> compute;
    };
    const Kind kinds[] = {
        {"contrast/luminosity",
         [&editor, texture](int v) {
             AdjustContrastLuminosity(texture, 1, ContrastFactor(v), -v, &editor);
         }},
        {"hue/saturation",
         [&editor, texture](int v) { AdjustHueSaturation(texture, 1, v, -v, &editor); }},
    };
    for (const Kind& kind : kinds) {
        std::vector<double> compute;
        std::vector<double> render;
        for (int run = 1; run <= 5; ++run) {
            QElapsedTimer clock;
            clock.start();
            kind.compute(10 * run);
            compute.push_back(MillisecondsSince(clock));
            clock.restart();
            RenderDocument(document, true, &editor);
            render.push_back(MillisecondsSince(clock));
        }
        std::printf(
            "%s preview of %dx%d (window %dx%d): %.1f ms = copy out + adjust + copy in %.1f ms "
            "+ RenderDocument %.1f ms (median of 5)\n",
            kind.name, kSize, kSize, window.ClientWidth(), window.ClientHeight(),
            Median(compute) + Median(render), Median(compute), Median(render));
    }
}

// Every 16 ms (also in the previews' pending messages) the hue slider goes where the hand is by
// then, 3 degrees further for every 16 ms, up to 120 degrees; then Cancel.
void DragAtMouseSpeed(MDIForm1& editor) {
    constexpr int kSteps = 40;
    constexpr int kIntervalMs = 16;
    QTimer watcher;
    WhenModal<Form8>(watcher, [](Form8& form) {
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
        const bool settled = QTest::qWaitFor([&] { return !hand.isActive(); }, 60000) &&
                             QTest::qWaitFor(
                                 [&] {
                                     return !form.scheduler().previewRunning() &&
                                            !form.scheduler().previewRequested();
                                 },
                                 60000);
        if (!settled) std::printf("the drag did not settle within a minute\n");
        std::printf(
            "hue drag on %dx%d over %d ms: %d slider changes, %d previews computed, the last one "
            "shown %lld ms after the last change\n",
            kSize, kSize, kSteps * kIntervalMs, changes,
            form.scheduler().previewsStarted() - before,
            static_cast<long long>(clock.elapsed() - lastMove));
        form.Command2->click();
    });
    editor.huesatu->trigger();
}

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenPlatform();
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(app);
    bench::RunningEditor running;
    if (running.editor == nullptr) return 1;
    MDIForm1& editor = *running.editor;
    const std::string path = running.SavePhotoPng(kSize);
    if (path.empty()) return 1;
    editor.LoadTexture(path);
    const std::int32_t document = Module1().ActiveWindowIndex;
    if (document <= 0 || DocumentAt(document).Window == nullptr) return 1;
    QTest::qWait(100);

    OnePreview(editor, document, *DocumentAt(document).Window);
    DragAtMouseSpeed(editor);
    return 0;
}
