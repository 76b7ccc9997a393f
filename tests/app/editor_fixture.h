// A clean editor for each test: scripted services, a program folder of its own (with or without
// sphere.x) and Main run with the splash clicked away as soon as it shows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "app/form3.h"
#include "app/mdi_form1.h"
#include "services/services.h"
#include "app/startup.h"
#include "document/module1.h"
#include "services/scripted_ui_services.h"

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

}  // namespace tintora::testing
