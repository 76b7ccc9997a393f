// A clean editor for each test: scripted services, a program folder of its own (holding
// sphere.x) and Main run with the splash clicked away as soon as it shows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
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
#include "app/startup.h"
#include "document/module1.h"
#include "services/scripted_ui_services.h"
#include "texture_window/form1.h"

namespace tintora::testing {

// Runs script on the first Dialog shown modally from now on, inside its modal loop, then closes
// it if still open, so a failed check cannot hang the test; shown counts the dialogs met.
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

class EditorTest : public ::testing::Test {
  protected:
    using TexelOf = std::function<std::array<std::uint8_t, 4>(int, int)>;  // B, G, R, A

    void SetUp() override {
        ResetModule1();
        ASSERT_TRUE(programDir_.isValid());
        ASSERT_TRUE(QFile::copy(TINTORA_DATA_DIR "/sphere.x", ProgramFile("sphere.x")));
        services.programDirectory = programDir_.path().toStdString();
        services.endProgram = [this] { ++endCalls; };
        memory.figures = {536870912, 221298688};
    }

    void TearDown() override {
        editor.reset();
        ResetModule1();
    }

    // Runs start-up; the splash is clicked as soon as it is shown modally.
    void Start(const std::string& commandLine = {}) {
        const WhenModal<Form3> splash([](Form3& s) { QTest::mouseClick(&s, Qt::LeftButton); });
        editor = Main(services, commandLine);
    }

    QString ProgramFile(const char* name) const { return programDir_.filePath(name); }

    static std::string SamplePath(const char* name) {
        return std::string(TINTORA_DATA_DIR) + "/samples/" + name;
    }

    // The texture windows (MDI children other than the 3D preview).
    int TextureWindowCount() const {
        const QList<QMdiSubWindow*> subs = editor->mdiArea->subWindowList();
        const auto* preview = editor->findChild<QMdiSubWindow*>(QStringLiteral("Form5Frame"));
        return static_cast<int>(subs.size() - subs.count(preview));
    }

    std::string StatusLine() const { return editor->Label1->text().toStdString(); }

    // The texture entry of the active texture window.
    static TextureEntry& ActiveEntry() {
        return TextureAt(DocumentAt(Module1().ActiveWindowIndex).TextureIndex);
    }

    // Writes a width x height PNG of texel(x, y) into the program folder; returns its path.
    std::string WritePng(const std::string& name, int width, int height, const TexelOf& texel) {
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

    // Opens such a PNG in a new (the active) texture window; returns its document once drawn.
    std::int32_t OpenPng(const std::string& name, int width, int height, const TexelOf& texel) {
        editor->LoadTexture(WritePng(name, width, height, texel));
        const std::int32_t document = Module1().ActiveWindowIndex;
        EXPECT_GT(document, 0) << name << " did not open";
        if (document <= 0) return document;
        auto* window = static_cast<Form1*>(DocumentAt(document).Window);
        EXPECT_TRUE(QTest::qWaitFor([window] { return !window->presentedImage().isNull(); }));
        return document;
    }

    ScriptedServices scripted;
    ScriptedMessageBoxes& boxes = scripted.boxes;
    ScriptedCommonDialogs& dialogs = scripted.dialogs;
    ScriptedSettingsStore& settings = scripted.settings;
    ScriptedMemoryStatus& memory = scripted.memory;
    ScriptedDisplayInfo& display = scripted.display;
    Services& services = scripted.services;
    int endCalls = 0;
    std::unique_ptr<MDIForm1> editor;

  private:
    QTemporaryDir programDir_;
};

}  // namespace tintora::testing
