// The Qt and system implementations of the UI services, and the settings' text conversions.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "base/setting_values.h"
#include "services/qt/qt_ui_services.h"
#include "services/qt/system_memory.h"
#include "services/ui_services.h"

namespace tintora {
namespace {

TEST(FileDialogFilterTest, PairsBecomeQtNameFilters) {
    const std::pair<const char*, QStringList> cases[] = {
        {"All supported texture types|*.bmp;*.jpg;*.png;*.dds;*.dib;*.tga|All files (*.*)|*.*",
         {"All supported texture types (*.bmp *.BMP *.jpg *.JPG *.png *.PNG *.dds *.DDS *.dib "
          "*.DIB *.tga *.TGA)",
          "All files (*)"}},  // "*.*" means every file, extension or not
        {"Bitmap (*.bmp)|*.bmp|DirectDraw Surface|*.dds|",
         {"Bitmap (*.bmp *.BMP)", "DirectDraw Surface (*.dds *.DDS)"}},
        {"Anything|", {"Anything (*)"}},
        {"", {}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(ToQtNameFilters(filter), expected) << filter;
}

TEST(SettingsStoreTest, ValuesPersistPerApplicationSectionAndKey) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QtSettingsStore store(dir.path() + QStringLiteral("/config"));
        EXPECT_EQ(store.GetSetting("Tintora", "Tintora", "ColorX", "9220"), "9220");
        store.SaveSetting("Tintora", "Tintora", "ColorX", "1234.5");
        store.SaveSetting("Tintora", "MessageBoxes", "DXT", "1");
        store.SaveSetting("Other", "Tintora", "ColorX", "7");
    }
    // A new store (a later run) reads what the first one wrote.
    QtSettingsStore store(dir.path() + QStringLiteral("/config"));
    EXPECT_EQ(store.GetSetting("Tintora", "Tintora", "ColorX", "0"), "1234.5");
    EXPECT_EQ(store.GetSetting("Tintora", "MessageBoxes", "ColorX", "none"), "none");
    EXPECT_EQ(store.GetSetting("Other", "Tintora", "ColorX", "0"), "7");
    // One INI file per application, one section per settings section.
    const QString file = store.FileFor("Tintora");
    EXPECT_TRUE(file.endsWith(QStringLiteral("/config/Tintora.ini")));
    QSettings ini(file, QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("MessageBoxes/DXT")).toString(), QStringLiteral("1"));
}

// Damaged, missing and unreadable files give the defaults, never a crash.
TEST(SettingsStoreTest, DamagedMissingOrUnreadableFilesGiveTheDefaults) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto colorX = [](QtSettingsStore& store) {
        return store.GetSetting("Tintora", "Tintora", "ColorX", "500");
    };
    const auto writeFile = [&dir](const char* name, const QByteArray& bytes) {
        QDir().mkpath(dir.path() + "/" + name);
        QFile ini(dir.path() + "/" + name + "/Tintora.ini");
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(bytes);
    };
    QtSettingsStore missing(dir.path() + QStringLiteral("/absent"));
    EXPECT_EQ(colorX(missing), "500");

    // A serialised value of a type that does not exist reads as some text.
    writeFile("damaged", "[Tintora]\n3DView=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n");
    QtSettingsStore damaged(dir.path() + QStringLiteral("/damaged"));
    static_cast<void>(damaged.GetSetting("Tintora", "Tintora", "3DView", "True"));

    // Bytes that are no INI file at all, then a store that saves over them.
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>((i * 131) ^ (i >> 3)));
    writeFile("garbage", noise);
    QtSettingsStore garbage(dir.path() + QStringLiteral("/garbage"));
    EXPECT_EQ(colorX(garbage), "500");
    garbage.SaveSetting("Tintora", "Tintora", "ColorX", "1200");
    EXPECT_EQ(colorX(garbage), "1200");

    // A directory where the file should be: nothing can be read or written there.
    QtSettingsStore blocked(dir.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked.FileFor("Tintora")));
    blocked.SaveSetting("Tintora", "Tintora", "ColorX", "1200");
    EXPECT_EQ(colorX(blocked), "500");
}

TEST(MemInfoTest, ReadsTotalAndAvailableAsSixtyFourBitBytes) {
    const auto figures = ParseMemInfo(
        "MemTotal:       32780256 kB\nMemFree:         1200000 kB\n"
        "MemAvailable:   24000000 kB\nBuffers:          100000 kB\nCached:          9000000 kB\n");
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->totalPhys, 32780256LL * 1024);
    EXPECT_EQ(figures->availPhys, 24000000LL * 1024);
    // Kernels without MemAvailable: free + buffers + cache.
    const auto old =
        ParseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 300 kB\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->availPhys, 420 * 1024);
    EXPECT_FALSE(ParseMemInfo("nothing useful\n"));

    const MemoryFigures machine = SystemMemoryStatus().Read();
    EXPECT_GT(machine.availPhys, 0);
    EXPECT_LE(machine.availPhys, machine.totalPhys);
}

TEST(DisplayFormatTest, DepthGivesTheDesktopFormat) {
    const std::pair<int, D3DFORMAT> cases[] = {{32, D3DFMT_X8R8G8B8}, {24, D3DFMT_X8R8G8B8},
                                               {16, D3DFMT_R5G6B5},   {15, D3DFMT_X1R5G5B5},
                                               {8, kDisplayFormatP8}, {30, D3DFMT_UNKNOWN}};
    for (const auto& [depth, format] : cases)
        EXPECT_EQ(DisplayFormatForDepth(depth), format) << depth;
    EXPECT_EQ(QtDisplayInfo().ScreenDepth(), 32);  // the offscreen test screen
}

TEST(SettingValuesTest, SinglesAsText) {
    const std::pair<float, const char*> cases[] = {
        {9220.0f, "9220"}, {-1500.0f, "-1500"}, {1234.5f, "1234.5"}, {0.1f, "0.1"}, {0.0f, "0"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(SingleToText(value), text);
}

// A window position is one finite number from 0 up to 16384 pixels; anything else, or a number
// in other text, gives the default: a damaged settings file must not put a window out of reach.
TEST(SettingValuesTest, OnlyWholeNumbersAreNumberTextAndPositionsStayInReach) {
    struct Case {
        const char* text;
        float number;    // NumberTextToSingle with fallback 7
        float position;  // WindowPositionFromText with fallback 7
    };
    const Case cases[] = {
        {"3000", 3000, 3000},
        {"  -200 ", -200, 7},
        {"1234.5", 1234.5f, 1234.5f},
        {"1e3", 1000, 1000},
        {" 0 ", 0, 0},
        {"245759", 245759, 245759},
        {"245760", 245760, 7},
        {"-0.5", -0.5f, 7},
        {"1e30", 1e30f, 7},
        {"", 7, 7},
        {"abc", 7, 7},
        {"12px", 7, 7},
        {"1 2", 7, 7},
        {"0x1A", 7, 7},
        {"nan", 7, 7},
        {"inf", 7, 7},
        {"1e99", 7, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberTextToSingle(c.text, 7.0f), c.number) << '"' << c.text << '"';
        EXPECT_EQ(WindowPositionFromText(c.text, 7.0f), c.position) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace tintora
