// The normal-map command on the tables alone (no window system): the amplitude text, the new
// entry, and what a failure leaves (nothing).
#include "normalmap/normal_map_texture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/number_text.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "normalmap/normal_map.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

// The text's leading number, in single precision.
TEST(AmplitudeFromTextTest, LeadingNumberInSinglePrecision) {
    const std::pair<const char*, float> cases[] = {
        {" 2.5xyz", 2.5f}, {"0.1", 0.1f}, {"3.4028235e38", std::numeric_limits<float>::max()}};
    for (const auto& [text, amplitude] : cases)
        EXPECT_EQ(AmplitudeFromText(text), amplitude) << text;
    // Beyond the single-precision range: the runtime's overflow.
    for (const char* text : {"1e39", "-4e38"})
        EXPECT_EQ(ErrorCodeOf([&] { AmplitudeFromText(text); }), kErrOverflow) << text;
}

// A source document on a 16 x 8 texture whose channels all differ.
class NormalMapTextureTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        source = CreateTextureEntry(16, 8, true);
        FillTexture(*TextureAt(source).Texture, [](int x, int y) { return PatternTexel(x, y, 5); });
        CopyOut(source);
        document = CreateDocument(16, 8, true, false);
        DocumentAt(document).TextureIndex = source;
        Module1().ActiveWindowIndex = document;
        sourceBytes = ReadTexture(*TextureAt(source).Texture);
    }

    static void ExpectOnlyTheSource() {
        EXPECT_EQ(InUseCount(Module1().TextureTable), 1);
        EXPECT_EQ(InUseCount(Module1().DocumentTable), 1);
    }

    std::int32_t source = 0;
    std::int32_t document = 0;
    std::vector<std::uint8_t> sourceBytes;
};

TEST_F(NormalMapTextureTest, NothingWithoutAnActiveTexture) {
    Module1().ActiveWindowIndex = 0;
    EXPECT_EQ(CreateNormalMapTexture(1, "10.0"), 0);
    Module1().ActiveWindowIndex = document;
    DocumentAt(document).TextureIndex = 0;
    // Not even the amplitude is read.
    EXPECT_EQ(CreateNormalMapTexture(1, "1e39"), 0);
    ExpectOnlyTheSource();
}

// A failure at any step (the amplitude, the source code, the source locked by someone else)
// leaves the tables as they were; the next map takes the next slots, with the map of the
// source in its main texture and pixels and its slot in its title, the source as it was.
TEST_F(NormalMapTextureTest, FailureLeavesNothingBehind) {
    const struct {
        std::int32_t code;
        const char* amplitude;
        bool locked;
        HRESULT error;
    } cases[] = {{1, "1e39", false, kErrOverflow},
                 {3, "10", false, D3DERR_INVALIDCALL},
                 {1, "10", true, D3DERR_INVALIDCALL}};
    Texture& texture = *TextureAt(source).Texture;
    for (const auto& c : cases) {
        if (c.locked) texture.LockRect(0, nullptr, D3DLOCK_READONLY);
        EXPECT_EQ(ErrorCodeOf([&] { CreateNormalMapTexture(c.code, c.amplitude); }), c.error);
        if (c.locked) texture.UnlockRect(0);
        ExpectOnlyTheSource();
        Module1().ActiveWindowIndex = document;
    }

    EXPECT_EQ(CreateNormalMapTexture(8, "-4"), 2);
    EXPECT_EQ(TextureAt(2).Title, "NormalMap2");
    PixelBuffer in(16, 8);
    std::copy(sourceBytes.begin(), sourceBytes.end(), in.data());
    PixelBuffer map(16, 8);
    GenerateNormalMap(in.view(), map.view(), -4.0f, HeightSource::Alpha);
    EXPECT_EQ(ReadTexture(*TextureAt(2).Texture), BufferBytes(map));
    EXPECT_EQ(BufferBytes(TextureAt(2).Pixels), BufferBytes(map));
    EXPECT_EQ(ReadTexture(texture), sourceBytes);
    EXPECT_EQ(BufferBytes(TextureAt(source).Pixels), sourceBytes);
    EXPECT_EQ(DocumentAt(document).TextureIndex, source);
}

}  // namespace
}  // namespace tintora::testing
