// DDS export: headers and sizes of every format with and without a chain, DX10 and sRGB; the top
// level read back by our reader; cancelling; ImageMagick on every level of a BC3 chain.
#include "imagefiles/dds_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/pixel_format.h"
#include "imagefiles/dds_codec.h"
#include "support/synthetic_photo.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

constexpr int kWidth = 37, kHeight = 21;  // levels 37x21 18x10 9x5 4x2 2x1 1x1: partial blocks

PixelView View(ArgbPixels& argb, int width = kWidth, int height = kHeight) {
    return {reinterpret_cast<std::uint8_t*>(argb.data()), width, height};
}

std::uint32_t Field(const ByteBuffer& file, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, file.data() + offset, 4);
    return value;
}

ExportSettings Settings(ExportFormat format, bool mipmaps, bool srgb = false, bool dx10 = false) {
    ExportSettings settings;
    settings.format = format;
    settings.mipmaps = mipmaps;
    settings.srgb = srgb;
    settings.dx10 = dx10;
    return settings;
}

ArgbPixels TopLevel(const ByteBuffer& file) {
    const DecodedImage image = DecodeDds(file, "x.dds");
    ArgbPixels out(static_cast<std::size_t>(image.width) * image.height);
    DecodeToArgb(image.format, image.bytes.data(),
                 static_cast<int>(RowPitchBytes(image.format, image.width)), image.width,
                 image.height, out.data());
    return out;
}

// Each format one level (DX9), with a chain (DX9), and with a chain, a DX10 header and sRGB where
// it has them. Read back, a format keeps the bits of `keep` (and sets those of `set`): BC4 its
// red (shown grey), BC5 red and green, BC1a's transparent texels are black.
TEST(DdsExport, HeadersSizesAndTheTopLevelOfEveryFormat) {
    ArgbPixels photo = SyntheticPhoto(kWidth, kHeight, /*withAlpha=*/true);
    using F = ExportFormat;
    const struct {
        F format;
        const char* fourCC;  // of the DX9 header; "" for masks, "DX10" where there is none
        int unit;            // bytes of a block, or of a pixel
        double psnr;         // RGB floor of the block formats; 0: uncompressed, within `within`
        int within;
        std::uint32_t keep, set, dxgi, dxgiSrgb;
    } cases[] = {
        {F::Bgra32, "", 4, 0, 0, ~0u, 0, 87, 91},
        {F::Bgr24, "", 3, 0, 0, 0xFFFFFF, 0xFF000000, 0, 0},
        {F::Argb16, "", 2, 0, 8, ~0u, 0, 115, 0},
        {F::Bc1, "DXT1", 8, 30, 0, 0xFFFFFF, 0xFF000000, 71, 72},
        {F::Bc1a, "DXT1", 8, 33, 0, 0xFFFFFF, 0xFF000000, 71, 72},
        {F::Bc2, "DXT3", 16, 30, 0, ~0u, 0, 74, 75},
        {F::Bc3, "DXT5", 16, 30, 0, ~0u, 0, 77, 78},
        {F::Bc4, "ATI1", 8, 37, 0, 0xFF0000, 0xFF000000, 80, 0},
        {F::Bc5, "ATI2", 16, 39.5, 0, 0xFFFF00, 0xFF000000, 83, 0},
        {F::Bc7, "DX10", 16, 33.5, 0, ~0u, 0, 98, 99},
    };
    const int sides[][2] = {{37, 21}, {18, 10}, {9, 5}, {4, 2}, {2, 1}, {1, 1}};
    for (const auto& c : cases) {
        for (int variant = 0; variant < (c.dxgi != 0 ? 3 : 2); ++variant) {
            SCOPED_TRACE(std::string(ExportFormatName(c.format)) + " " + std::to_string(variant));
            const ExportSettings settings =
                Settings(c.format, variant > 0, variant == 2 && c.dxgiSrgb != 0, variant == 2);
            const ByteBuffer file = EncodeDdsExport(View(photo), settings);

            const bool blocks = c.psnr > 0;
            const std::string code = settings.dx10 ? "DX10" : c.fourCC;
            const int levels = settings.mipmaps ? 6 : 1;
            std::size_t size = code == "DX10" ? 148 : 128;
            for (int n = 0; n < levels; ++n) {
                const std::size_t w = sides[n][0], h = sides[n][1];
                size += blocks ? (w + 3) / 4 * ((h + 3) / 4) * c.unit : w * h * c.unit;
            }
            EXPECT_EQ(file.size(), size);
            EXPECT_EQ(Field(file, 8) & 0xA0008, (levels > 1 ? 0x20000u : 0) |     // mip count
                                                    (blocks ? 0x80000u : 0x8u));  // size or pitch
            EXPECT_EQ(Field(file, 20), blocks ? 10u * 6 * c.unit : 37u * c.unit);
            EXPECT_EQ(Field(file, 28), levels > 1 ? 6u : 0u);
            EXPECT_EQ(Field(file, 108), levels > 1 ? 0x401008u : 0x1000u);  // caps
            EXPECT_EQ(Field(file, 84),
                      code.empty() ? 0u : MakeFourCC(code[0], code[1], code[2], code[3]));
            if (code == "DX10") {
                EXPECT_EQ(Field(file, 128), settings.srgb ? c.dxgiSrgb : c.dxgi);
            }

            EXPECT_EQ(DecodeDds(file, "x.dds").fileMipLevels, static_cast<std::uint32_t>(levels));
            ArgbPixels back = TopLevel(file), expected = photo;
            for (std::size_t i = 0; i < back.size(); ++i) {
                back[i] = (back[i] & c.keep) | c.set;
                const bool cut = c.format == F::Bc1a && photo[i] >> 24 < 128;
                expected[i] = cut ? c.set : (photo[i] & c.keep) | c.set;
            }
            EXPECT_TRUE(blocks ? RgbPsnr(back, expected) > c.psnr
                               : MaxChannelDifference(back, expected) <= c.within)
                << RgbPsnr(back, expected) << " dB";
        }
    }
    // A 5 x 3 texture has three levels, 5x3, 2x1 and 1x1: four BC3 blocks.
    const ByteBuffer file = EncodeDdsExport(View(photo, 5, 3), Settings(F::Bc3, true));
    EXPECT_EQ(Field(file, 28), 3u);
    EXPECT_EQ(file.size(), 128u + 4 * 16);
    // Formats without an sRGB or a DX10 form refuse them.
    for (const ExportSettings& refused :
         {Settings(F::Bgr24, false, true), Settings(F::Bgr24, false, false, true),
          Settings(F::Bc4, false, true)})
        EXPECT_THROW(EncodeDdsExport(View(photo), refused), PlatformError);
}

// Progress rises to 100 over the chain and the levels; a throw from it cancels before anything
// is written: an existing file keeps its bytes, a new one is not made, no temporary file is left.
TEST(DdsExport, ACancelFromProgressWritesNothing) {
    ScratchDir scratch;
    ArgbPixels photo = SyntheticPhoto(kWidth, kHeight);
    const ExportSettings settings = Settings(ExportFormat::Bc7, true);
    std::vector<int> counters;
    WriteDdsExport(View(photo), settings, scratch.File("done.dds"),
                   [&counters](int counter) { counters.push_back(counter); });
    EXPECT_TRUE(std::is_sorted(counters.begin(), counters.end()));
    EXPECT_EQ(counters.back(), 100);

    WriteBytes(scratch.File("old.dds"), {'o', 'l', 'd'});
    const auto cancel = [](int counter) {
        if (counter >= 50) throw std::runtime_error("cancelled");
    };
    for (const char* name : {"old.dds", "new.dds"})
        EXPECT_THROW(WriteDdsExport(View(photo), settings, scratch.File(name), cancel),
                     std::runtime_error);
    EXPECT_EQ(ReadBytes(scratch.File("old.dds")), (FileBytes{'o', 'l', 'd'}));
    EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"done.dds", "old.dds"}));
}

// ImageMagick 6 reads the top level of a DDS file and skips the others, so each level is also cut
// out where a reader finds it (after the levels before it, sides halving and rounding down) and
// read as a file of its own. ImageMagick must decode each as we do, and each must be the chain's
// level: ramps along x, whose four texels a block keeps within a few steps, and whose slope
// doubles from level to level.
TEST(DdsExport, ImageMagickReadsEveryLevelOfABc3Chain) {
    if (!HaveImageMagick()) GTEST_SKIP() << "convert-im6.q16 is not installed";
    ScratchDir scratch;
    ArgbPixels ramps(kWidth * kHeight);
    for (std::uint32_t i = 0, x = 0; i < ramps.size(); x = ++i % kWidth)
        ramps[i] = (40 + 5 * x) << 24 | (20 + 6 * x) << 16 | (30 + 3 * x) << 8 | 99;
    WriteDdsExport(View(ramps), Settings(ExportFormat::Bc3, true), scratch.File("chain.dds"));
    const FileBytes bytes = ReadBytes(scratch.File("chain.dds"));
    const ByteBuffer file(bytes.begin(), bytes.end());
    EXPECT_LE(MaxChannelDifference(ImageMagickPixels(scratch.File("chain.dds")), TopLevel(file)),
              1);

    const std::vector<PixelBuffer> chain = MakeMipChain(View(ramps), {});
    std::size_t at = 128;
    for (int w = kWidth, h = kHeight, n = 0; n < 6;
         ++n, w = std::max(1, w / 2), h = std::max(1, h / 2)) {
        SCOPED_TRACE(n);
        ByteBuffer level = EncodeDdsHeaders({w, h, 1, D3DFMT_UNKNOWN, 16, D3DFMT_DXT5, 0});
        const std::size_t size = static_cast<std::size_t>((w + 3) / 4 * ((h + 3) / 4) * 16);
        ASSERT_LE(at + size, file.size());
        level.insert(level.end(), file.begin() + at, file.begin() + at + size);
        at += size;
        WriteBytes(scratch.File("level.dds"), FileBytes(level.begin(), level.end()));
        const ArgbPixels read = ImageMagickPixels(scratch.File("level.dds"));
        const auto* want = reinterpret_cast<const std::uint32_t*>(
            n == 0 ? View(ramps).data : chain[static_cast<std::size_t>(n - 1)].data());
        EXPECT_LE(MaxChannelDifference(read, TopLevel(level)), 1);
        EXPECT_LE(MaxChannelDifference(read, ArgbPixels(want, want + w * h)), 8);
    }
    EXPECT_EQ(at, file.size());
}

}  // namespace
}  // namespace tintora::testing
