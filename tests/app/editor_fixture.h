// A clean editor for each test: scripted services, a program folder of its own (with or without
// sphere.x) and Main run with the splash clicked away as soon as it shows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/form3.h"
#include "app/mdi_form1.h"
#include "services/services.h"
#include "app/startup.h"
#include "document/module1.h"
#include "services/scripted_ui_services.h"
#include "texture_window/form1.h"

namespace tintora::testing {

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetModule1();
        ASSERT_TRUE(programDir_.isValid());
        const QString sphere = programDir_.filePath(QStringLiteral("sphere.x"));
        QFile::remove(sphere);
        ASSERT_TRUE(QFile::copy(QStringLiteral(TINTORA_DATA_DIR "/sphere.x"), sphere));
        services.messageBoxes = &boxes;
        services.dialogs = &dialogs;
        services.settings = &settings;
        services.memory = &memory;
        services.display = &display;
        services.programDirectory = programDir_.path().toStdString();
        services.ended = false;
        services.endProgram = [this] { ++endCalls; };
        endCalls = 0;
        boxes = {};
        settings = {};
        memory.figures = {536870912, 221298688};
    }

    void TearDown() override {
        editor.reset();
        ResetModule1();
    }

    // Runs start-up; the splash is clicked as soon as it is shown modally.
    void Start(const std::string& commandLine = {}) {
        QTimer clicker;
        clicker.setInterval(5);
        QObject::connect(&clicker, &QTimer::timeout, [&clicker] {
            if (auto* splash = qobject_cast<Form3*>(QApplication::activeModalWidget())) {
                QTest::mouseClick(splash, Qt::LeftButton);
                clicker.stop();
            }
        });
        clicker.start();
        editor = Main(services, commandLine);
    }

    void RemoveSphere() { QFile::remove(programDir_.filePath(QStringLiteral("sphere.x"))); }

    std::string SamplePath(const char* name) const {
        return std::string(TINTORA_DATA_DIR) + "/samples/" + name;
    }

    // The texture windows (MDI children other than the 3D preview).
    int TextureWindowCount() const {
        int count = 0;
        for (QMdiSubWindow* sub : editor->mdiArea->subWindowList()) {
            if (sub->objectName() != QStringLiteral("Form5Frame")) ++count;
        }
        return count;
    }

    std::string StatusLine() const { return editor->Label1->text().toStdString(); }

    // The texture entry of the active texture window.
    static TextureEntry& ActiveEntry() {
        return TextureAt(DocumentAt(Module1().ActiveWindowIndex).TextureIndex);
    }

    // Writes a width x height PNG into the program folder, pixel (x, y) being texel(x, y) as
    // B, G, R, A bytes, and returns its path.
    std::string WritePng(const std::string& name, int width, int height,
                         const std::function<std::array<std::uint8_t, 4>(int, int)>& texel) {
        QImage image(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::array<std::uint8_t, 4> c = texel(x, y);
                image.setPixel(x, y, qRgba(c[2], c[1], c[0], c[3]));
            }
        }
        const QString path = programDir_.filePath(QString::fromStdString(name));
        EXPECT_TRUE(image.save(path, "PNG"));
        return path.toStdString();
    }

    // Opens such a PNG in a new texture window (the active one); returns the window's document
    // slot once it has drawn.
    std::int32_t OpenPng(const std::string& name, int width, int height,
                         const std::function<std::array<std::uint8_t, 4>(int, int)>& texel) {
        editor->LoadTexture(WritePng(name, width, height, texel));
        const std::int32_t document = Module1().ActiveWindowIndex;
        if (document <= 0) {
            ADD_FAILURE() << name << " did not open";
            return document;
        }
        auto* window = static_cast<Form1*>(DocumentAt(document).Window);
        EXPECT_TRUE(QTest::qWaitFor([window] { return !window->presentedImage().isNull(); }));
        return document;
    }

    ScriptedMessageBoxes boxes;
    ScriptedCommonDialogs dialogs;
    ScriptedSettingsStore settings;
    ScriptedMemoryStatus memory;
    ScriptedDisplayInfo display;
    Services services;
    int endCalls = 0;
    std::unique_ptr<MDIForm1> editor;

  private:
    QTemporaryDir programDir_;
};

// Runs script on the first dialog of type Dialog that is shown modally from now on, from inside
// its modal loop. A dialog the script leaves open is closed, so a failed check cannot hang the
// test; shown counts the dialogs met.
template <typename Dialog>
class WhenModal {
  public:
    explicit WhenModal(std::function<void(Dialog&)> script) : script_(std::move(script)) {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            timer_.stop();
            ++shown;
            if (script_) script_(*dialog);
            if (dialog->isVisible()) dialog->close();
        });
        timer_.start();
    }

    int shown = 0;

  private:
    std::function<void(Dialog&)> script_;
    QTimer timer_;
};

}  // namespace tintora::testing
