// Prints how long the running editor (on Qt's offscreen platform, with scripted services) takes to
// open a 4096 x 4096 PNG and show it in its window, beside the PNG decode alone on the same bytes:
// what the open adds to the decode (reading the file, the working texture, the window, the copy
// out into the pixel array, the first drawing) is the difference. The file read into the working
// texture alone (ReadWorkingTexture) is timed too.
//
//   bench_open_latency [side]      (default 4096)
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_editor.h"
#include "bench_support.h"
#include "document/module1.h"
#include "files/texture_load.h"
#include "imagefiles/file_io.h"
#include "imagefiles/qt_image_codec.h"

using namespace tintora;
using bench::Median;
using bench::MillisecondsSince;

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::atoi(argv[1]) : 4096;
    bench::UseOffscreenPlatform();
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(app);
    bench::RunningEditor running;
    if (running.editor == nullptr) return 1;
    MDIForm1* const editor = running.editor.get();
    const std::string file = running.SavePhotoPng(side);
    if (file.empty()) return 1;

    std::vector<double> decode, working, open;
    for (int run = 0; run < 3; ++run) {
        const ByteBuffer bytes = ReadFileBytes(file);
        QElapsedTimer clock;
        clock.start();
        DecodePng(bytes, file);
        decode.push_back(MillisecondsSince(clock));

        clock.restart();
        ReadWorkingTexture(file, {});
        working.push_back(MillisecondsSince(clock));

        clock.restart();
        editor->LoadTexture(file);
        QApplication::processEvents();  // the window's first paint
        open.push_back(MillisecondsSince(clock));
        const std::int32_t document = Module1().ActiveWindowIndex;
        if (document <= 0 || DocumentAt(document).Window == nullptr) return 1;
        QTest::qWait(50);
    }
    std::printf(
        "open of a %dx%d PNG in the editor: %.0f ms, its PNG decode alone %.0f ms: the open adds "
        "%.0f ms (medians of 3); the file read into the working texture alone: %.0f ms\n",
        side, side, Median(open), Median(decode), Median(open) - Median(decode), Median(working));
    return 0;
}
