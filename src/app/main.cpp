// The editor's entry point.
//
// Usage: tintora [image file]
// Every argument is part of one file name (joined with blanks, double quotes removed), opened at
// start-up. The program ends through File > Quit or by closing the main window.
#include <QApplication>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"
#include "document/module1.h"
#include "services/qt/qt_ui_services.h"
#include "services/qt/system_memory.h"
#include "services/services.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tintora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tintora"));
    Q_INIT_RESOURCE(app);
    // The icon of every window, and the desktop entry (tintora.desktop) that task bars match.
    QIcon icon;
    icon.addFile(QStringLiteral(":/tintora/icon-48.png"));
    icon.addFile(QStringLiteral(":/tintora/icon-256.png"));
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("tintora"));

    tintora::QtMessageBoxes messageBoxes;
    tintora::QtSettingsStore settings;
    // The file dialogs remember their folder from one run to the next.
    tintora::QtCommonDialogs dialogs(&settings);
    tintora::SystemMemoryStatus memory;
    tintora::QtDisplayInfo display;

    tintora::Services services;
    services.messageBoxes = &messageBoxes;
    services.dialogs = &dialogs;
    services.settings = &settings;
    services.memory = &memory;
    services.display = &display;
    services.programDirectory = QCoreApplication::applicationDirPath().toStdString();
    // Ending at once: no close handler, no destructor of a window runs. Settings are already on
    // disk (every SaveSetting writes its file).
    services.endProgram = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };

    // Qt has taken its own options (-platform, -style...) out of the arguments.
    std::vector<std::string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toStdString());

    auto mainWindow = tintora::Main(services, tintora::CommandLineFileName(arguments));
    const int status = QApplication::exec();
    mainWindow.reset();
    tintora::ResetModule1();
    return status;
}
