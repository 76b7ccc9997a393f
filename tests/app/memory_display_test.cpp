// The memory display's text and the memory recovery, alone and in the main window.
#include "app/memory_display.h"

#include <QLabel>
#include <QPushButton>

#include "editor_fixture.h"

namespace tintora::testing {
namespace {

TEST(MemoryStatusTextTest, WorkedFigures) {
    struct Case {
        std::int64_t totalPhys, availPhys;
        std::optional<std::uint32_t> textureMemory;  // none: no device
        const char* ram;                             // "<avail> MB (<percent>%)"
        int videoMegabytes;
    };
    const Case cases[] = {
        {536870912, 221298688, 28311552, "212 MB (41%)", 27},  // 512 MiB machine
        // Above 4 GiB: no 32-bit wrap anywhere.
        {17179869184, 8589934592, 28311552, "8228 MB (50%)", 27},
        {34359738368, 25769803776, 4293918720u, "24683 MB (74%)", 4095},
        {536870912, 221298688, std::nullopt, "212 MB (41%)", 0},
        {4294967296, 4294967295, 0, "4114 MB (100%)", 0},
        // Video megabytes round half to even: 2.5 -> 2, 3.5 -> 4.
        {536870912, 221298688, 2621440, "212 MB (41%)", 2},
        {536870912, 221298688, 3670016, "212 MB (41%)", 4},
        {0, 0, std::nullopt, "0 MB (0%)", 0},  // nothing known: no division by zero
        // Megabytes of 1044032 bytes, to tenths (Int(x * 10 + 0.5)), then ties to even:
        // 212.5 and 213.5 of 16455.
        {17179869184, 221856800, 0, "212 MB (1%)", 0},
        {17179869184, 222900832, 0, "214 MB (1%)", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MemoryStatusText({c.totalPhys, c.availPhys}, c.textureMemory),
                  std::string("RAM available : ") + c.ram +
                      " | Video Memory available : " + std::to_string(c.videoMegabytes) + " MB  ")
            << c.totalPhys << " / " << c.availPhys;
    }
}

TEST(RecoverMemoryTest, AllocatesOneStringPerFourMillionBytesPlusOne) {
    ScriptedMemoryStatus memory;
    const std::pair<std::int64_t, std::int64_t> cases[] = {
        {100000000, 25}, {3999999, 0}, {4000000, 1}, {0, 0}};
    for (const auto& [avail, n] : cases) {
        memory.figures = {536870912, avail};
        EXPECT_EQ(RecoverMemory(memory, nullptr), n) << avail;
    }
}

using MemoryWindowTest = EditorTest;

TEST_F(MemoryWindowTest, TheTimerWritesTheFiguresFlushRightAndResizesFollow) {
    editor = std::make_unique<MDIForm1>(services);
    editor->show();
    EXPECT_EQ(editor->Timer1->interval(), 1000);
    EXPECT_TRUE(editor->Timer1->isActive());
    memory.figures = {17179869184, 8589934592};
    editor->Timer1_Timer();
    EXPECT_EQ(editor->MemAvail->text().toStdString(),
              "RAM available : 8228 MB (50%) | Video Memory available : 0 MB  ");
    EXPECT_EQ(editor->MemAvail->geometry().right() + 1, editor->width());
    // The figures end before "Recover Mem." begins.
    const int textEnd = editor->MemAvail->x() +
                        editor->MemAvail->fontMetrics().horizontalAdvance(editor->MemAvail->text());
    EXPECT_LE(textEnd, editor->Re->x());

    // After a resize "Recover Mem." keeps its place at the right edge and the next tick follows.
    for (const int width : {700, 1200, 900}) {
        editor->resize(width, 400);
        EXPECT_EQ(editor->Re->x(), editor->frameGeometry().width() - 100) << width;
    }
    editor->ShowMemoryStatus();
    EXPECT_EQ(editor->MemAvail->geometry().right() + 1, 900);
}

TEST_F(MemoryWindowTest, TheDisplayShowsTheDevicesTextureMemoryAndRecoverMemKeepsTheDevice) {
    Start();
    ASSERT_TRUE(Module1().Device);
    editor->ShowMemoryStatus();
    const auto video =
        static_cast<long long>(Module1().Device->GetAvailableTextureMem() / 1048576.0 + 0.5);
    EXPECT_GT(video, 0);
    EXPECT_EQ(editor->MemAvail->text().toStdString(),
              "RAM available : 212 MB (41%) | Video Memory available : " + std::to_string(video) +
                  " MB  ");

    memory.figures = {536870912, 100000000};
    editor->Re->click();
    EXPECT_EQ(editor->lastRecoverCount(), 25);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(Module1().Device);
}

}  // namespace
}  // namespace tintora::testing
