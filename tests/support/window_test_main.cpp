// Runs a program's window tests inside one QApplication on Qt's offscreen platform (unless the
// environment names another platform).
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Tintora"));
#ifdef TINTORA_APP_RESOURCES
    Q_INIT_RESOURCE(app);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
