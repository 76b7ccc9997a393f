// Prints how long the running editor (on Qt's offscreen platform, with scripted services) takes to
// open a 4096 x 4096 PNG and show it in its window, beside the PNG decode alone on the same bytes:
// what the open adds to the decode (reading the file, the working texture, the window, the copy
// out into the pixel array, the first drawing) is the difference. The file read into the working
// texture alone (ReadWorkingTexture) is timed too.
//
//   bench_open_latency [side]      (default 4096)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/form3.h"
#include "app/mdi_form1.h"
#include "app/startup.h"
#include "document/module1.h"
#include "files/texture_load.h"
#include "imagefiles/file_io.h"
#include "imagefiles/qt_image_codec.h"
#include "services/scripted_ui_services.h"
#include "support/synthetic_photo.h"

using namespace tintora;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MillisecondsSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::atoi(argv[1]) : 4096;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(app);

    QTemporaryDir programDir;
    const QString sphere = programDir.filePath(QStringLiteral("sphere.x"));
    if (!programDir.isValid() || !QFile::copy(QStringLiteral(TINTORA_DATA_DIR "/sphere.x"), sphere))
        return 1;
    ScriptedServices scripted;
    Services& services = scripted.services;
    services.programDirectory = programDir.path().toStdString();
    services.endProgram = [] {};

    QTimer splash;
    splash.setInterval(5);
    QObject::connect(&splash, &QTimer::timeout, [&splash] {
        auto* form = qobject_cast<Form3*>(QApplication::activeModalWidget());
        if (form == nullptr || !form->isVisible()) return;
        splash.stop();
        QTest::mouseClick(form, Qt::LeftButton);
    });
    splash.start();
    std::unique_ptr<MDIForm1> editor = Main(services, {});

    const std::vector<std::uint32_t> photo = testing::SyntheticPhoto(side, side, true);
    const QImage image(reinterpret_cast<const uchar*>(photo.data()), side, side, side * 4,
                       QImage::Format_ARGB32);
    const QString path = programDir.filePath(QStringLiteral("picture.png"));
    if (!image.save(path, "PNG")) return 1;
    const std::string file = path.toStdString();

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
    if (!scripted.boxes.shown.empty())
        std::printf("message boxes shown: %zu\n", scripted.boxes.shown.size());
    editor.reset();
    ResetModule1();
    return 0;
}
