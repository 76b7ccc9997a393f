// The Qt and system implementations of the UI services, and the settings' text conversions.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "services/qt/qt_ui_services.h"
#include "services/qt/system_memory.h"
#include "base/setting_values.h"
#include "services/ui_services.h"

namespace tintora {
namespace {

TEST(FileDialogFilterTest, PairsBecomeQtNameFilters) {
    const QStringList open = ToQtNameFilters(
        "All supported texture types|*.bmp;*.jpg;*.png;*.dds;*.dib;*.tga|All files (*.*)|*.*");
    ASSERT_EQ(open.size(), 2);
    EXPECT_EQ(open[0], QStringLiteral("All supported texture types (*.bmp *.BMP *.jpg *.JPG *.png "
                                      "*.PNG *.dds *.DDS *.dib *.DIB *.tga *.TGA)"));
    // "*.*" means every file, extension or not.
    EXPECT_EQ(open[1], QStringLiteral("All files (*)"));

    const QStringList save = ToQtNameFilters("Bitmap (*.bmp)|*.bmp|DirectDraw Surface|*.dds|");
    ASSERT_EQ(save.size(), 2);
    EXPECT_EQ(save[0], QStringLiteral("Bitmap (*.bmp *.BMP)"));
    EXPECT_EQ(save[1], QStringLiteral("DirectDraw Surface (*.dds *.DDS)"));

    EXPECT_TRUE(ToQtNameFilters("").isEmpty());
    EXPECT_EQ(ToQtNameFilters("Anything|").front(), QStringLiteral("Anything (*)"));
}

TEST(SettingsStoreTest, ValuesPersistPerApplicationSectionAndKey) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QtSettingsStore store(dir.path() + QStringLiteral("/config"));
        EXPECT_EQ(store.GetSetting("Tintora", "Tintora", "ColorX", "9220"), "9220");
        store.SaveSetting("Tintora", "Tintora", "ColorX", "1234.5");
        store.SaveSetting("Tintora", "Tintora", "3DView", "False");
        store.SaveSetting("Tintora", "MessageBoxes", "DXT", "1");
        store.SaveSetting("Other", "Tintora", "ColorX", "7");
    }
    // A new store (a later run) reads what the first one wrote.
    QtSettingsStore store(dir.path() + QStringLiteral("/config"));
    EXPECT_EQ(store.GetSetting("Tintora", "Tintora", "ColorX", "0"), "1234.5");
    EXPECT_EQ(store.GetSetting("Tintora", "Tintora", "3DView", "True"), "False");
    EXPECT_EQ(store.GetSetting("Tintora", "MessageBoxes", "DXT", "0"), "1");
    EXPECT_EQ(store.GetSetting("Tintora", "MessageBoxes", "ColorX", "none"), "none");
    EXPECT_EQ(store.GetSetting("Other", "Tintora", "ColorX", "0"), "7");

    // One INI file per application, one section per settings section.
    const QString file = store.FileFor("Tintora");
    EXPECT_TRUE(file.endsWith(QStringLiteral("/config/Tintora.ini")));
    QSettings ini(file, QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("MessageBoxes/DXT")).toString(), QStringLiteral("1"));
    EXPECT_EQ(ini.value(QStringLiteral("Tintora/3DView")).toString(), QStringLiteral("False"));
}

TEST(MemInfoTest, ReadsTotalAndAvailableAsSixtyFourBitBytes) {
    const auto figures = ParseMemInfo(
        "MemTotal:       32780256 kB\n"
        "MemFree:         1200000 kB\n"
        "MemAvailable:   24000000 kB\n"
        "Buffers:          100000 kB\n"
        "Cached:          9000000 kB\n");
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->totalPhys, 32780256LL * 1024);
    EXPECT_EQ(figures->availPhys, 24000000LL * 1024);

    // Kernels without MemAvailable: free + buffers + cache.
    const auto old =
        ParseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 300 kB\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->availPhys, 420 * 1024);

    EXPECT_FALSE(ParseMemInfo("nothing useful\n"));
}

TEST(MemInfoTest, ThisMachineHasMemory) {
    SystemMemoryStatus status;
    const MemoryFigures figures = status.Read();
    EXPECT_GT(figures.totalPhys, 0);
    EXPECT_GT(figures.availPhys, 0);
    EXPECT_LE(figures.availPhys, figures.totalPhys);
}

TEST(DisplayFormatTest, DepthGivesTheDesktopFormat) {
    EXPECT_EQ(DisplayFormatForDepth(32), D3DFMT_X8R8G8B8);
    EXPECT_EQ(DisplayFormatForDepth(24), D3DFMT_X8R8G8B8);
    EXPECT_EQ(DisplayFormatForDepth(16), D3DFMT_R5G6B5);
    EXPECT_EQ(DisplayFormatForDepth(15), D3DFMT_X1R5G5B5);
    EXPECT_EQ(DisplayFormatForDepth(8), kDisplayFormatP8);
    EXPECT_EQ(DisplayFormatForDepth(30), D3DFMT_UNKNOWN);
    // The offscreen test screen is a 32-bit one.
    QtDisplayInfo display;
    EXPECT_EQ(DisplayFormatForDepth(display.ScreenDepth()), D3DFMT_X8R8G8B8);
}

TEST(SettingValuesTest, SinglesAsText) {
    EXPECT_EQ(SingleToText(9220.0f), "9220");
    EXPECT_EQ(SingleToText(-1500.0f), "-1500");
    EXPECT_EQ(SingleToText(1234.5f), "1234.5");
    EXPECT_EQ(SingleToText(0.1f), "0.1");
    EXPECT_EQ(SingleToText(0.0f), "0");

    EXPECT_EQ(TextToSingle("1234.5", 0.0f), 1234.5f);
    EXPECT_EQ(TextToSingle("  -200", 0.0f), -200.0f);
    EXPECT_EQ(TextToSingle("12px", 0.0f), 12.0f);
    EXPECT_EQ(TextToSingle("abc", 7.0f), 7.0f);
    EXPECT_EQ(TextToSingle("", 7.0f), 7.0f);
}

TEST(SettingValuesTest, OnlyWholeNumbersAreNumberText) {
    EXPECT_EQ(NumberTextToSingle("9220", 7.0f), 9220.0f);
    EXPECT_EQ(NumberTextToSingle("  -200 ", 7.0f), -200.0f);
    EXPECT_EQ(NumberTextToSingle("1234.5", 7.0f), 1234.5f);
    EXPECT_EQ(NumberTextToSingle("1e3", 7.0f), 1000.0f);
    for (const char* text : {"", "  ", "abc", "12px", "1 2", "0x1A", "nan", "inf", "1e99"}) {
        EXPECT_EQ(NumberTextToSingle(text, 7.0f), 7.0f) << '"' << text << '"';
    }
}

TEST(SettingValuesTest, WindowPositionsOutOfReachGiveTheDefault) {
    EXPECT_EQ(WindowPositionFromText("3000", 7.0f), 3000.0f);
    EXPECT_EQ(WindowPositionFromText(" 0 ", 7.0f), 0.0f);
    EXPECT_EQ(WindowPositionFromText("245759", 7.0f), 245759.0f);  // 16383.9 pixels
    for (const char* text : {"-1", "-0.5", "-4000", "245760", "1e30", "3.4e38", "1e99", "nan",
                             "inf", "abc", "12px", ""}) {
        EXPECT_EQ(WindowPositionFromText(text, 7.0f), 7.0f) << '"' << text << '"';
    }
}

// The real store on damaged, missing and unreadable files: defaults, never a crash, and the
// positions read from it land where a window can be reached.
TEST(SettingsStoreTest, DamagedMissingOrUnreadableFilesGiveTheDefaults) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto position = [](QtSettingsStore& store, const char* key) {
        return WindowPositionFromText(store.GetSetting("Tintora", "Tintora", key, "500"), 500.0f);
    };

    // No directory, no file.
    QtSettingsStore missing(dir.path() + QStringLiteral("/absent"));
    EXPECT_EQ(missing.GetSetting("Tintora", "Tintora", "ColorX", "9220"), "9220");
    EXPECT_EQ(position(missing, "3DX"), 500.0f);

    // Values that are no position: text, negative, beyond any screen, not finite.
    QtSettingsStore damaged(dir.path() + QStringLiteral("/damaged"));
    {
        QDir().mkpath(dir.path() + QStringLiteral("/damaged"));
        QFile ini(damaged.FileFor("Tintora"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Tintora]\nColorX=left\nColorY=-30000\n3DX=1e30\n3DY=nan\n"
                  "3DView=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n");
    }
    for (const char* key : {"ColorX", "ColorY", "3DX", "3DY"})
        EXPECT_EQ(position(damaged, key), 500.0f) << key;
    // A serialised value of a type that does not exist reads as some text, without a crash.
    static_cast<void>(damaged.GetSetting("Tintora", "Tintora", "3DView", "True"));

    // Bytes that are no INI file at all, then a store that saves over them.
    QtSettingsStore garbage(dir.path() + QStringLiteral("/garbage"));
    {
        QDir().mkpath(dir.path() + QStringLiteral("/garbage"));
        QFile ini(garbage.FileFor("Tintora"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise.append(static_cast<char>((i * 131) ^ (i >> 3)));
        ini.write(noise);
    }
    EXPECT_EQ(position(garbage, "ColorX"), 500.0f);
    garbage.SaveSetting("Tintora", "Tintora", "ColorX", "1200");
    EXPECT_EQ(position(garbage, "ColorX"), 1200.0f);

    // A directory where the file should be: nothing can be read or written there.
    QtSettingsStore blocked(dir.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked.FileFor("Tintora")));
    EXPECT_EQ(blocked.GetSetting("Tintora", "Tintora", "ColorX", "9220"), "9220");
    blocked.SaveSetting("Tintora", "Tintora", "ColorX", "1200");
    EXPECT_EQ(position(blocked, "ColorX"), 500.0f);
}

}  // namespace
}  // namespace tintora
