#include "normalmap/normal_map_texture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/document_fixture.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "normalmap/normal_map.h"
#include "base/error.h"
#include "base/number_text.h"

namespace tintora::testing {
namespace {

TEST(AmplitudeFromTextTest, LeadingNumberInSinglePrecision) {
    struct Case {
        const char* text;
        float amplitude;
    };
    const Case cases[] = {
        {"10.0", 10.0f}, {" 2.5xyz", 2.5f}, {"abc", 0.0f},
        {"", 0.0f},      {"-3e1", -30.0f},  {"0.1", 0.1f},
        {".5", 0.5f},    {"7,5", 7.0f},     {"3.4028235e38", std::numeric_limits<float>::max()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AmplitudeFromText(c.text), c.amplitude) << c.text;
    // Beyond the single-precision range: the runtime's overflow.
    for (const char* text : {"1e39", "-4e38"})
        EXPECT_EQ(ErrorCodeOf([&] { AmplitudeFromText(text); }), kErrOverflow) << text;
}

// The command on the tables alone (no window system): a source document on a 16 x 8 texture
// whose channels all differ.
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

    static int InUse(const auto& table) {
        int count = 0;
        for (const auto& slot : table)
            count += slot.InUse ? 1 : 0;
        return count;
    }

    std::vector<std::uint8_t> Expected(float amplitude, HeightSource height) {
        PixelBuffer in(16, 8);
        std::copy(sourceBytes.begin(), sourceBytes.end(), in.data());
        PixelBuffer out(16, 8);
        GenerateNormalMap(in.view(), out.view(), amplitude, height);
        return BufferBytes(out);
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
    EXPECT_EQ(InUse(Module1().TextureTable), 1);
    EXPECT_EQ(InUse(Module1().DocumentTable), 1);
}

// A failure at any step leaves the tables as they were, and the next map takes the same slots.
TEST_F(NormalMapTextureTest, FailureLeavesNothingBehind) {
    const auto failsWith = [&](HRESULT code, const std::function<void()>& call) {
        EXPECT_EQ(ErrorCodeOf(call), code);
        EXPECT_EQ(InUse(Module1().TextureTable), 1);
        EXPECT_EQ(InUse(Module1().DocumentTable), 1);
        Module1().ActiveWindowIndex = document;
    };
    failsWith(kErrOverflow, [] { CreateNormalMapTexture(1, "1e39"); });
    // A source code the generator does not know.
    failsWith(D3DERR_INVALIDCALL, [] { CreateNormalMapTexture(3, "10"); });
    // The source texture locked by someone else.
    Texture& texture = *TextureAt(source).Texture;
    texture.LockRect(0, nullptr, D3DLOCK_READONLY);
    failsWith(D3DERR_INVALIDCALL, [] { CreateNormalMapTexture(1, "10"); });
    texture.UnlockRect(0);
    EXPECT_EQ(ReadTexture(texture), sourceBytes);

    EXPECT_EQ(CreateNormalMapTexture(8, "-4"), 2);
    EXPECT_EQ(BufferBytes(TextureAt(2).Pixels), Expected(-4.0f, HeightSource::Alpha));
}

}  // namespace
}  // namespace tintora::testing
