// The running editor for the benchmarks that time it as a whole: on Qt's offscreen platform, with
// scripted services, in a temporary program folder. Needs the app libraries and Qt Test.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form3.h"
#include "app/mdi_form1.h"
#include "app/startup.h"
#include "document/module1.h"
#include "services/scripted_ui_services.h"
#include "support/synthetic_photo.h"

namespace tintora::bench {

// Milliseconds since clock was started.
inline double MillisecondsSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Runs script on the first visible modal widget of type Widget, from its modal loop: timer looks
// for it every 5 ms and stops once it has found it.
template <typename Widget>
void WhenModal(QTimer& timer, std::function<void(Widget&)> script) {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&timer, script] {
        auto* widget = qobject_cast<Widget*>(QApplication::activeModalWidget());
        if (widget == nullptr || !widget->isVisible()) return;
        timer.stop();
        script(*widget);
    });
    timer.start();
}

// Qt's offscreen platform, unless QT_QPA_PLATFORM names another; before the QApplication is made.
inline void UseOffscreenPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The editor started as the program starts (Main), its splash clicked away, in a temporary program
// folder that holds sphere.x, with scripted services whose end of the program does nothing. Make
// the QApplication and its resources (Q_INIT_RESOURCE(app)) first. editor is null when the
// program folder could not be made.
struct RunningEditor {
    RunningEditor() {
        const QString sphere = programDir.filePath(QStringLiteral("sphere.x"));
        if (!programDir.isValid() ||
            !QFile::copy(QStringLiteral(TINTORA_DATA_DIR "/sphere.x"), sphere))
            return;
        scripted.services.programDirectory = programDir.path().toStdString();
        scripted.services.endProgram = [] {};
        WhenModal<Form3>(splash, [](Form3& form) { QTest::mouseClick(&form, Qt::LeftButton); });
        editor = Main(scripted.services, {});
    }
    RunningEditor(const RunningEditor&) = delete;
    RunningEditor& operator=(const RunningEditor&) = delete;

    // Prints how many message boxes were shown, if any; then closes the editor and clears the
    // program's state.
    ~RunningEditor() {
        if (!scripted.boxes.shown.empty())
            std::printf("message boxes shown: %zu\n", scripted.boxes.shown.size());
        editor.reset();
        ResetModule1();
    }

    // Writes a side x side synthetic photograph with alpha as picture.png in the program folder;
    // its path, or empty when it could not be written.
    std::string SavePhotoPng(int side) const {
        const std::vector<std::uint32_t> photo = testing::SyntheticPhoto(side, side, true);
        const QImage image(reinterpret_cast<const uchar*>(photo.data()), side, side, side * 4,
                           QImage::Format_ARGB32);
        const QString path = programDir.filePath(QStringLiteral("picture.png"));
        return image.save(path, "PNG") ? path.toStdString() : std::string();
    }

    // In this order, so that the editor goes first and the program folder last.
    QTemporaryDir programDir;
    ScriptedServices scripted;
    QTimer splash;
    std::unique_ptr<MDIForm1> editor;
};

}  // namespace tintora::bench
