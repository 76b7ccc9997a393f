// The Qt and system UI services, the settings' text conversions, the memory display's text.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/memory_display.h"
#include "base/setting_values.h"
#include "services/qt/qt_ui_services.h"
#include "services/qt/system_memory.h"
#include "services/scripted_ui_services.h"
#include "services/ui_services.h"

namespace tintora {
namespace {

TEST(FileDialogFilterTest, PairsBecomeQtNameFilters) {
    const std::pair<const char*, QStringList> cases[] = {
        {"All supported texture types|*.bmp;*.jpg;*.png;*.dds;*.dib;*.tga|All files (*.*)|*.*",
         {"All supported texture types (*.bmp *.BMP *.jpg *.JPG *.png *.PNG *.dds *.DDS *.dib "
          "*.DIB *.tga *.TGA)",
          "All files (*)"}},  // "*.*" means every file, extension or not
        {"Bitmap (*.bmp)|*.bmp|", {"Bitmap (*.bmp *.BMP)"}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(ToQtNameFilters(filter), expected) << filter;
}

// An error report leads with its description and keeps its number for the details; other texts
// are shown whole.
TEST(MessageBoxTextTest, ErrorReportsLeadWithTheirDescription) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // The text given, the box's text, its details (nullptr: no error report).
        {"Error -2005529767: Cannot read \"a.bmp\"", "Cannot read \"a.bmp\"", "Error -2005529767"},
        {"Error 7: Out of memory\nand more", "Out of memory\nand more", "Error 7"},
        {"Error: lock failed", "lock failed", ""},
        {"Error 12 was not: a report", "Error 12 was not: a report", nullptr},
        {"Save changes to a.bmp?", "Save changes to a.bmp?", nullptr},
    };
    for (const auto& [text, shown, details] : cases) {
        const MessageParts parts = SplitErrorReport(text);
        EXPECT_EQ(parts.text.toStdString(), shown);
        EXPECT_EQ(parts.details.toStdString(), details != nullptr ? details : "");
        EXPECT_EQ(parts.error, details != nullptr) << text;
    }
}

// The file dialogs start in the folder last used, also in a later run; once it is gone, in the
// pictures folder or at home, never where the program was started.
TEST(FileDialogFolderTest, StartsInTheFolderLastUsed) {
    QTemporaryDir dir;
    ScriptedSettingsStore settings;
    settings.values[{"Tintora", "Tintora", "LastFolder"}] = dir.path().toStdString();
    EXPECT_EQ(QtCommonDialogs(&settings).StartFolder(), dir.path());
    settings.values[{"Tintora", "Tintora", "LastFolder"}] = dir.filePath("gone").toStdString();
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    EXPECT_EQ(QtCommonDialogs(&settings).StartFolder(),
              QDir(pictures).exists() ? pictures : QDir::homePath());
}

// A later run reads what was saved, per application, section and key.
// Damaged, missing and unreadable files read as the default, never a crash, and a damaged file
// can be saved over.
TEST(SettingsStoreTest, ValuesPersistAndDamagedFilesGiveTheDefault) {
    QTemporaryDir dir;
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>((i * 131) ^ (i >> 3)));
    // Folder, the file's bytes (none: no file), what reads first (nullptr: any text), then.
    const std::tuple<const char*, QByteArray, const char*, const char*> cases[] = {
        {"absent", {}, "500", "1200"},
        {"variant", "[Tintora]\nColorX=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n", nullptr, "1200"},
        {"noise", noise, "500", "1200"},
        {"folder", {}, "500", "500"},  // a folder where the file should be
    };
    for (const auto& [name, bytes, first, then] : cases) {
        const QString file = QtSettingsStore(dir.filePath(name)).FileFor("Tintora");
        QDir().mkpath(name == std::string("folder") ? file : dir.filePath(name));
        QFile ini(file);
        if (!bytes.isEmpty() && ini.open(QIODevice::WriteOnly)) ini.write(bytes);
        ini.close();
        QtSettingsStore store(dir.filePath(name));
        const std::string read = store.GetSetting("Tintora", "Tintora", "ColorX", "500");
        EXPECT_TRUE(first == nullptr || read == first) << name << ": " << read;
        store.SaveSetting("Tintora", "Tintora", "ColorX", "1200");
        QtSettingsStore later(dir.filePath(name));
        EXPECT_EQ(later.GetSetting("Tintora", "Tintora", "ColorX", "500"), then) << name;
    }
    QtSettingsStore store(dir.filePath("absent"));  // other sections and applications
    EXPECT_EQ(store.GetSetting("Tintora", "MessageBoxes", "ColorX", "-"), "-");
    EXPECT_EQ(store.GetSetting("Other", "Tintora", "ColorX", "-"), "-");
}

TEST(MemInfoTest, ReadsTotalAndAvailableAsSixtyFourBitBytes) {
    const auto figures = ParseMemInfo(
        "MemTotal:       32780256 kB\nMemFree:         1200000 kB\n"
        "MemAvailable:   24000000 kB\nBuffers:          100000 kB\nCached:          9000000 kB\n");
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->totalPhys, 32780256LL * 1024);
    EXPECT_EQ(figures->availPhys, 24000000LL * 1024);
    // Kernels without MemAvailable: free + buffers + cache.
    EXPECT_EQ(ParseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 300 kB\n")
                  .value_or(MemoryFigures{})
                  .availPhys,
              420 * 1024);
    EXPECT_FALSE(ParseMemInfo("nothing useful\n"));
    const MemoryFigures machine = SystemMemoryStatus().Read();  // this machine's
    EXPECT_TRUE(machine.availPhys > 0 && machine.availPhys <= machine.totalPhys);
}

TEST(DisplayFormatTest, DepthGivesTheDesktopFormat) {
    const std::pair<int, D3DFORMAT> cases[] = {{32, D3DFMT_X8R8G8B8}, {24, D3DFMT_X8R8G8B8},
                                               {16, D3DFMT_R5G6B5},   {15, D3DFMT_X1R5G5B5},
                                               {8, kDisplayFormatP8}, {30, D3DFMT_UNKNOWN}};
    for (const auto& [depth, format] : cases)
        EXPECT_EQ(DisplayFormatForDepth(depth), format) << depth;
    EXPECT_EQ(QtDisplayInfo().ScreenDepth(), 32);  // the offscreen test screen
}

// A window position is one finite number from 0 up to 16384 pixels; anything else, or a number
// in other text, gives the default: a damaged settings file must not put a window out of reach.
TEST(SettingValuesTest, OnlyWholeNumbersAreNumberTextAndPositionsStayInReach) {
    struct Case {
        const char* text;
        float number;    // NumberTextToSingle with fallback 7
        float position;  // WindowPositionFromText with fallback 7
    };
    const Case cases[] = {{"3000", 3000, 3000},  {"  -200 ", -200, 7}, {"1234.5", 1234.5f, 1234.5f},
                          {"1e3", 1000, 1000},   {" 0 ", 0, 0},        {"245759", 245759, 245759},
                          {"245760", 245760, 7}, {"1e30", 1e30f, 7},   {"", 7, 7},
                          {"12px", 7, 7},        {"0x1A", 7, 7},       {"nan", 7, 7},
                          {"inf", 7, 7},         {"1e99", 7, 7}};
    for (const Case& c : cases) {
        EXPECT_EQ(NumberTextToSingle(c.text, 7.0f), c.number) << '"' << c.text << '"';
        EXPECT_EQ(WindowPositionFromText(c.text, 7.0f), c.position) << '"' << c.text << '"';
    }
}

TEST(MemoryStatusTextTest, WorkedFigures) {
    struct Case {
        std::int64_t totalPhys, availPhys;
        std::optional<std::uint32_t> textureMemory;  // none: no device
        const char* ram;                             // "<avail> MB (<percent>%)"
        int videoMegabytes;
    };
    const Case cases[] = {
        {536870912, 221298688, 28311552, "212 MB (41%)", 27},  // 512 MiB, then above 4 GiB
        {34359738368, 25769803776, 4293918720u, "24683 MB (74%)", 4095},
        {4294967296, 4294967295, 0, "4114 MB (100%)", 0},
        {536870912, 221298688, 2621440, "212 MB (41%)", 2},  // 2.5 and 3.5: ties to even
        {536870912, 221298688, 3670016, "212 MB (41%)", 4},
        {0, 0, std::nullopt, "0 MB (0%)", 0},  // nothing known: no division by zero
        // Megabytes of 1044032 bytes to tenths (Int(x * 10 + 0.5)), then ties to even.
        {17179869184, 221856800, 0, "212 MB (1%)", 0},  // 212.5, and 213.46 to 213.5
        {17179869184, 222859071, 0, "214 MB (1%)", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MemoryStatusText({c.totalPhys, c.availPhys}, c.textureMemory),
                  std::string("RAM available : ") + c.ram +
                      " | Video Memory available : " + std::to_string(c.videoMegabytes) + " MB  ")
            << c.totalPhys << " / " << c.availPhys;
    }
}

}  // namespace
}  // namespace tintora
