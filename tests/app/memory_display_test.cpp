// The memory display's text and the memory recovery, alone and in the main window.
#include "app/memory_display.h"

#include <QLabel>
#include <QPushButton>

#include "editor_fixture.h"

namespace tintora::testing {
namespace {

struct TextCase {
    std::int64_t totalPhys;
    std::int64_t availPhys;
    std::optional<std::uint32_t> textureMemory;
    const char* text;
};

TEST(MemoryStatusTextTest, WorkedFigures) {
    const TextCase cases[] = {
        // 512 MiB machine, 27 MiB of texture memory.
        {536870912, 221298688, 28311552,
         "RAM available : 212 MB (41%) | Video Memory available : 27 MB  "},
        // Above 4 GiB: no 32-bit wrap anywhere.
        {17179869184, 8589934592, 28311552,
         "RAM available : 8228 MB (50%) | Video Memory available : 27 MB  "},
        {34359738368, 25769803776, 4293918720u,
         "RAM available : 24683 MB (74%) | Video Memory available : 4095 MB  "},
        // No device: the video figure is 0.
        {536870912, 221298688, std::nullopt,
         "RAM available : 212 MB (41%) | Video Memory available : 0 MB  "},
        // Everything free.
        {4294967296, 4294967295, 0,
         "RAM available : 4114 MB (100%) | Video Memory available : 0 MB  "},
        // Video megabytes round half to even: 2.5 -> 2, 3.5 -> 4.
        {536870912, 221298688, 2621440,
         "RAM available : 212 MB (41%) | Video Memory available : 2 MB  "},
        {536870912, 221298688, 3670016,
         "RAM available : 212 MB (41%) | Video Memory available : 4 MB  "},
        // Nothing known about the machine: no division by zero.
        {0, 0, std::nullopt, "RAM available : 0 MB (0%) | Video Memory available : 0 MB  "},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(MemoryStatusText({c.totalPhys, c.availPhys}, c.textureMemory), c.text)
            << c.totalPhys << " / " << c.availPhys;
    }
}

TEST(MemoryStatusTextTest, MegabytesUseTheOddDivisorAndRoundHalfToEven) {
    // 1044032 bytes is one displayed megabyte.
    EXPECT_EQ(DisplayedMegabytes(1044032), 1);
    EXPECT_EQ(DisplayedMegabytes(1048576), 1);
    EXPECT_EQ(DisplayedMegabytes(0), 0);
    // 212.5 and 213.5 displayed megabytes: the tenths survive Int(x * 10 + 0.5), then the
    // rounding goes to the even neighbour.
    EXPECT_EQ(DisplayedMegabytes(221856800), 212);
    EXPECT_EQ(DisplayedMegabytes(222900832), 214);
    // 211.96...: the tenths step rounds up to 212.0.
    EXPECT_EQ(DisplayedMegabytes(221298688), 212);
    // 16 GiB.
    EXPECT_EQ(DisplayedMegabytes(17179869184), 16455);
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

TEST_F(MemoryWindowTest, TimerWritesTheFiguresFlushRightOfTheStrip) {
    editor = std::make_unique<MDIForm1>(services);
    editor->show();
    EXPECT_EQ(editor->Timer1->interval(), 1000);
    EXPECT_TRUE(editor->Timer1->isActive());

    memory.figures = {17179869184, 8589934592};
    editor->Timer1_Timer();
    // No device yet: video 0.
    EXPECT_EQ(editor->MemAvail->text().toStdString(),
              "RAM available : 8228 MB (50%) | Video Memory available : 0 MB  ");
    EXPECT_EQ(editor->MemAvail->geometry().right() + 1, editor->width());
    // The figures end before "Recover Mem." begins.
    const int textEnd = editor->MemAvail->x() +
                        editor->MemAvail->fontMetrics().horizontalAdvance(editor->MemAvail->text());
    EXPECT_LE(textEnd, editor->Re->x());

    // After a resize the next tick follows the new edge.
    editor->resize(900, 400);
    editor->ShowMemoryStatus();
    EXPECT_EQ(editor->MemAvail->geometry().right() + 1, 900);
    EXPECT_GE(memory.reads, 2);
}

TEST_F(MemoryWindowTest, DisplayShowsTheDevicesTextureMemory) {
    Start();
    ASSERT_TRUE(Module1().Device);
    editor->ShowMemoryStatus();
    const std::string text = editor->MemAvail->text().toStdString();
    const auto video =
        static_cast<long long>(Module1().Device->GetAvailableTextureMem() / 1048576.0 + 0.5);
    EXPECT_EQ(text, "RAM available : 212 MB (41%) | Video Memory available : " +
                        std::to_string(video) + " MB  ");
    EXPECT_GT(video, 0);
}

TEST_F(MemoryWindowTest, RecoverMemButtonAllocatesAndReportsNothing) {
    Start();
    memory.figures = {536870912, 100000000};
    editor->Re->click();
    EXPECT_EQ(editor->lastRecoverCount(), 25);
    EXPECT_TRUE(boxes.shown.empty());
    // The device survives the discard.
    EXPECT_TRUE(Module1().Device);
}

}  // namespace
}  // namespace tintora::testing
