#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "document/history.h"
#include "document/pixel_delta.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Noise(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// A delta turns before into after and after into before, byte for byte, whatever changed; it
// stores nothing for no change and little for a change that repeats or touches one channel.
TEST(PixelDeltaTest, TogglesBetweenTheTwoStates) {
    const struct {
        const char* name;
        int width;
        int height;
        std::function<void(Bytes&)> change;
        std::size_t maxBytesPerPixel1000;  // stored bytes per 1000 pixels at most; 0: no limit
    } cases[] = {
        {"noise everywhere", 67, 45, [](Bytes& p) { p = Noise(p.size(), 9); }, 0},
        {"nothing", 64, 64, [](Bytes&) {}, 0},
        {"one byte", 300, 300, [](Bytes& p) { p[4 * 299 * 300 + 2] ^= 1; }, 0},
        {"invert", 256, 256,
         [](Bytes& p) {
             for (std::size_t i = 0; i < p.size(); ++i)
                 if (i % 4 != 3) p[i] = static_cast<std::uint8_t>(255 - p[i]);
         },
         20},
        {"alpha only", 256, 256,
         [](Bytes& p) {
             for (std::size_t i = 3; i < p.size(); i += 4) p[i] = static_cast<std::uint8_t>(i / 7);
         },
         1010},
        {"rows wider than a band", 70000, 3, [](Bytes& p) { p = Noise(p.size(), 4); }, 0},
    };
    for (const auto& c : cases) {
        const Bytes before = Noise(4 * static_cast<std::size_t>(c.width) * c.height, 1);
        Bytes after = before;
        c.change(after);
        const PixelDelta delta = PixelDelta::Between(before.data(), after.data(), c.width, c.height);
        EXPECT_EQ(delta.unchanged(), before == after) << c.name;
        Bytes pixels = after;
        delta.ApplyTo(pixels.data(), PixelDelta::Direction::Undo);
        EXPECT_TRUE(pixels == before) << c.name;
        delta.ApplyTo(pixels.data(), PixelDelta::Direction::Redo);
        EXPECT_TRUE(pixels == after) << c.name;
        if (c.maxBytesPerPixel1000 != 0) {
            EXPECT_LE(delta.bytes() * 1000,
                      c.maxBytesPerPixel1000 * static_cast<std::size_t>(c.width) * c.height)
                << c.name << ": " << delta.bytes();
        }
    }
}

class HistoryTest : public DocumentTest {
  protected:
    std::int32_t NewTexture(int width, int height, int seed) {
        const std::int32_t slot = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(slot).Texture,
                    [seed](int x, int y) { return PatternTexel(x, y, seed); });
        CopyOut(slot);
        return slot;
    }
    // A step that adds value to every byte of the texture and its Pixels buffer.
    static StepOutcome AddStep(std::int32_t slot, int value, const std::string& name = "Add") {
        return RecordStep(slot, name, [slot, value] {
            PixelBuffer& pixels = TextureAt(slot).Pixels;
            for (std::size_t i = 0; i < pixels.byteCount(); ++i)
                pixels.data()[i] = static_cast<std::uint8_t>(pixels.data()[i] + value);
            CopyIn(slot, 0);
        });
    }
    static Bytes Now(std::int32_t slot) { return ReadTexture(*TextureAt(slot).Texture); }
};

// Undo and redo walk the states back and forth exactly, keep Pixels equal to the texture, name
// their steps, and a new step after an undo drops what could be redone. The unsaved state follows
// the walk: back at the saved state the texture is unmodified again.
TEST_F(HistoryTest, UndoAndRedoWalkTheStatesExactly) {
    const std::int32_t slot = NewTexture(33, 17, 5);
    std::vector<Bytes> states = {Now(slot)};
    EXPECT_FALSE(IsModified(slot));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(AddStep(slot, i, "Add " + std::to_string(i)), StepOutcome::Recorded);
        states.push_back(Now(slot));
    }
    EXPECT_TRUE(IsModified(slot));
    MarkSaved(slot);  // saved after step 3
    EXPECT_EQ(UndoStepName(slot), "Add 3");
    EXPECT_EQ(RedoStepName(slot), "");
    for (int i = 3; i >= 1; --i) {
        ASSERT_TRUE(UndoStep(slot));
        EXPECT_EQ(Now(slot), states[static_cast<std::size_t>(i - 1)]) << i;
        EXPECT_EQ(BufferBytes(TextureAt(slot).Pixels), Now(slot));
        EXPECT_TRUE(IsModified(slot));
    }
    EXPECT_FALSE(UndoStep(slot));
    EXPECT_EQ(RedoStepName(slot), "Add 1");
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(RedoStep(slot));
        EXPECT_EQ(Now(slot), states[static_cast<std::size_t>(i)]);
    }
    EXPECT_FALSE(RedoStep(slot));
    EXPECT_FALSE(IsModified(slot));

    ASSERT_TRUE(UndoStep(slot));
    ASSERT_TRUE(UndoStep(slot));
    EXPECT_EQ(AddStep(slot, 0), StepOutcome::Unchanged);
    EXPECT_EQ(RedoStepName(slot), "Add 2");
    EXPECT_EQ(AddStep(slot, 9, "Add 9"), StepOutcome::Recorded);
    EXPECT_EQ(RedoStepName(slot), "");
    EXPECT_EQ(UndoStepName(slot), "Add 9");
    ASSERT_TRUE(UndoStep(slot));
    EXPECT_EQ(Now(slot), states[1]);
}

// The limit counts every texture's steps together and drops the oldest first; freeing a texture
// drops its history; a step that fails leaves the texture as it was.
TEST_F(HistoryTest, HistoryStaysWithinItsBounds) {
    const std::int32_t a = NewTexture(128, 128, 1);
    const std::int32_t b = NewTexture(128, 128, 2);
    ASSERT_EQ(AddStep(a, 1, "a1"), StepOutcome::Recorded);
    ASSERT_EQ(AddStep(b, 1, "b1"), StepOutcome::Recorded);
    ASSERT_EQ(AddStep(a, 2, "a2"), StepOutcome::Recorded);
    SetHistoryLimit(HistoryBytes() - 1);
    EXPECT_EQ(UndoStepName(a), "a2");
    ASSERT_TRUE(UndoStep(a));
    EXPECT_FALSE(UndoStep(a)) << "a1, the oldest step, was dropped";
    EXPECT_EQ(UndoStepName(b), "b1");

    FreeTextureEntry(b);
    EXPECT_EQ(HistoryBytes(), TextureAt(a).History.Steps.front().Delta.bytes() + 2);

    const Bytes before = Now(a);
    EXPECT_THROW(RecordStep(a, "fails", [a] {
                     AddStep(a, 7);  // a step inside a step is not recorded on its own
                     throw PlatformError(E_FAIL, "device lost");
                 }),
                 PlatformError);
    EXPECT_EQ(Now(a), before) << "a failed step leaves the texture as it was";
    EXPECT_EQ(BufferBytes(TextureAt(a).Pixels), before);

}

}  // namespace
}  // namespace tintora::testing
