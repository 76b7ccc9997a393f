// The D3DX file functions on a software device: files written and read back, by us and by
// ImageMagick as the peer codec; the colour key, requested sizes, surface conversion and its
// filters; the refusals. How each reader decodes a file is checked in imagefiles_tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "imagefiles/file_io.h"
#include "imagefiles/image_codec.h"
#include "support/image_test_support.h"
#include "support/synthetic_photo.h"

namespace tintora::testing {
namespace {

using Argb = std::vector<std::uint32_t>;
using Parts = std::vector<std::string>;

// Expects f() to throw PlatformError with the code and a message holding every part.
template <typename F>
void ExpectError(F&& f, HRESULT code, const Parts& parts) {
    try {
        f();
        ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.code(), code) << error.what();
        for (const std::string& part : parts)
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
    }
}

class ImageIo : public ::testing::Test {
  protected:
    // A surface of the format holding pixels (converted with the default filter).
    std::shared_ptr<Surface> Converted(D3DFORMAT format, int w, int h, const Argb& pixels) {
        auto surface = device_->CreateImageSurface(w, h, format);
        D3DXLoadSurfaceFromSurface(*surface, nullptr, nullptr, *ArgbSurface(*device_, w, h, pixels),
                                   nullptr, nullptr, D3DX_DEFAULT_FILTER, 0);
        return surface;
    }
    // Loads with a colour key, a requested size and format, the point filter.
    std::shared_ptr<Texture> LoadAs(const std::string& path, std::uint32_t key,
                                    int w = D3DX_DEFAULT, int h = D3DX_DEFAULT,
                                    D3DFORMAT format = D3DFMT_UNKNOWN) {
        return D3DXCreateTextureFromFileEx(*device_, path, w, h, 1, 0, format, D3DPOOL_MANAGED,
                                           D3DX_FILTER_POINT, D3DX_FILTER_NONE, key, nullptr,
                                           nullptr);
    }
    std::shared_ptr<Device> device_ = MakeTestDevice(Direct3DCreate8());
    ScratchDir dir_;
};

// Every file type, and a DDS file of each kind of pixel format (masks with and without alpha,
// alpha or luminance alone, four-character codes), reads back with the pixels written: by us
// exactly and, where it reads the format, by ImageMagick (within a tolerance: it widens 5 and
// 6-bit DDS channels arithmetically, we repeat the bits).
TEST_F(ImageIo, OurFilesReadBackByUsAndByImageMagick) {
    const int w = 21, h = 14;  // odd sizes: row padding, partial blocks
    Argb photo = SyntheticPhoto(w, h, /*withAlpha=*/true);
    photo[5] = 0x00000000;
    photo[6] = 0x80FFFFFF;
    constexpr int kNotRead = -1;
    const struct {
        const char* name;
        D3DXIMAGE_FILEFORMAT type;
        D3DFORMAT format;  // of the texture written; DDS files keep it, others load as A8R8G8B8
        int imageMagickTolerance;
    } cases[] = {
        {"a.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8, 0},
        {"a.dib", D3DXIFF_DIB, D3DFMT_A8R8G8B8, kNotRead},
        {"a.tga", D3DXIFF_TGA, D3DFMT_A8R8G8B8, 0},
        {"a.png", D3DXIFF_PNG, D3DFMT_A8R8G8B8, 0},
        {"a8r8g8b8.dds", D3DXIFF_DDS, D3DFMT_A8R8G8B8, 0},
        {"x8r8g8b8.dds", D3DXIFF_DDS, D3DFMT_X8R8G8B8, 0},
        {"r8g8b8.dds", D3DXIFF_DDS, D3DFMT_R8G8B8, 0},
        {"r5g6b5.dds", D3DXIFF_DDS, D3DFMT_R5G6B5, 1},
        {"a4r4g4b4.dds", D3DXIFF_DDS, D3DFMT_A4R4G4B4, 0},
        {"a8.dds", D3DXIFF_DDS, D3DFMT_A8, kNotRead},
        {"a8l8.dds", D3DXIFF_DDS, D3DFMT_A8L8, kNotRead},
        {"dxt1.dds", D3DXIFF_DDS, D3DFMT_DXT1, 0},
        {"dxt3.dds", D3DXIFF_DDS, D3DFMT_DXT3, 0},
        {"dxt5.dds", D3DXIFF_DDS, D3DFMT_DXT5, 0},
    };
    const bool imageMagick = HaveImageMagick();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.File(c.name);
        const auto surface = Converted(c.format, w, h, photo);
        D3DXSaveSurfaceToFile(path, c.type, *surface, nullptr, nullptr);
        if (c.format == D3DFMT_DXT1 || c.format == D3DFMT_DXT3 || c.format == D3DFMT_DXT5) {
            // The header's linear size is the whole level: 6 x 4 blocks of 8 or 16 bytes.
            const auto size = LoadLe32(ReadFileBytes(path).data() + 20);
            EXPECT_EQ(size, c.format == D3DFMT_DXT1 ? 192u : 384u);
        }
        const Argb written = ArgbOf(*surface);
        D3DXIMAGE_INFO info;
        auto loaded = LoadTexture(*device_, path, &info);
        EXPECT_EQ(loaded->format(), c.type == D3DXIFF_DDS ? c.format : D3DFMT_A8R8G8B8);
        EXPECT_EQ(info.ImageFileFormat, c.type);
        EXPECT_EQ(std::make_pair(info.Width, info.Height), std::make_pair(21u, 14u));
        EXPECT_EQ(ArgbOf(*loaded), written);
        if (imageMagick && c.imageMagickTolerance != kNotRead) {
            EXPECT_LE(MaxChannelDifference(ImageMagickPixels(path), written),
                      c.imageMagickTolerance);
        }
    }
}

TEST_F(ImageIo, JpegKeepsTheColoursCloseAndIsOpaque) {
    const Argb photo = SyntheticPhoto(64, 48);
    D3DXSaveTextureToFile(dir_.File("p.jpg"), D3DXIFF_JPG, *ArgbTexture(*device_, 64, 48, photo),
                          nullptr);
    const Argb back = ArgbOf(*LoadTexture(*device_, dir_.File("p.jpg")));
    EXPECT_GT(RgbPsnr(photo, back), 28.0);
    EXPECT_TRUE(
        std::all_of(back.begin(), back.end(), [](std::uint32_t p) { return p >> 24 == 255; }));
}

// A saved rectangle is cut out of the surface; a loaded one lands in its destination rectangle.
TEST_F(ImageIo, Rectangles) {
    const Argb photo = SyntheticPhoto(12, 8, /*withAlpha=*/true);
    const auto source = ArgbSurface(*device_, 12, 8, photo);
    const RECT part{3, 2, 10, 7};  // 7 x 5
    Argb cut;
    for (int y = 2; y < 7; ++y)
        cut.insert(cut.end(), photo.begin() + y * 12 + 3, photo.begin() + y * 12 + 10);
    for (D3DXIMAGE_FILEFORMAT type : {D3DXIFF_BMP, D3DXIFF_DDS}) {
        D3DXSaveSurfaceToFile(dir_.File("part"), type, *source, nullptr, &part);
        EXPECT_EQ(ArgbOf(*LoadTexture(*device_, dir_.File("part"))), cut) << type;
    }
    // Into an X8R8G8B8 surface of 9 x 6 at (2, 1), the rest untouched.
    auto dest = device_->CreateImageSurface(9, 6, D3DFMT_X8R8G8B8);
    std::memset(dest->bits(), 0x11, dest->byteSize());
    const RECT to{2, 1, 9, 6};
    D3DXLoadSurfaceFromSurface(*dest, nullptr, &to, *source, nullptr, &part, D3DX_FILTER_NONE, 0);
    const Argb out = ArgbOf(*dest);
    for (int i = 0; i < 9 * 6; ++i) {
        const int x = i % 9 - 2, y = i / 9 - 1;
        EXPECT_EQ(out[i], x >= 0 && y >= 0 ? cut[y * 7 + x] | 0xFF000000u : 0xFF111111u) << i;
    }
}

// The key clears exactly its own value; uncompressed files come out as A8R8G8B8 so that keyed
// pixels can be transparent (R5G6B5 holds pure green exactly); block formats are left alone.
TEST_F(ImageIo, ColourKeyOnLoading) {
    const std::uint32_t key = 0x04564564, green = 0xFF00FF00;
    const Argb nearKey = {key,        0x05564564, 0x04574564, 0x04564664,
                          0x04564565, key,        0xFF564564, 0x00000000, key};
    Argb keyed = nearKey;
    keyed[0] = keyed[5] = keyed[8] = 0;
    const struct {
        const char* name;
        D3DXIMAGE_FILEFORMAT type;
        D3DFORMAT format, loadedAs;
        std::uint32_t key;
        Argb pixels, want;  // 3 x 3
    } cases[] = {
        {"k.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, key, nearKey, keyed},
        {"k.dds", D3DXIFF_DDS, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, green, Argb(9, green), Argb(9, 0)},
        {"k.dds", D3DXIFF_DDS, D3DFMT_DXT1, D3DFMT_DXT1, green, Argb(9, green), Argb(9, green)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        D3DXSaveSurfaceToFile(dir_.File(c.name), c.type, *Converted(c.format, 3, 3, c.pixels),
                              nullptr, nullptr);
        auto texture = LoadAs(dir_.File(c.name), c.key);
        EXPECT_EQ(texture->format(), c.loadedAs);
        EXPECT_EQ(ArgbOf(*texture), c.want);
    }
}

TEST_F(ImageIo, RequestedSizeAndFormatResample) {
    const std::uint32_t B = 0xFF000000, W = 0xFFFFFFFF;
    D3DXSaveTextureToFile(dir_.File("bw.bmp"), D3DXIFF_BMP, *ArgbTexture(*device_, 2, 1, {B, W}),
                          nullptr);
    auto texture = LoadAs(dir_.File("bw.bmp"), 0, 4, 2, D3DFMT_X8R8G8B8);
    EXPECT_EQ(texture->format(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(ArgbOf(*texture), (Argb{B, B, W, W, B, B, W, W}));
}

TEST_F(ImageIo, SurfaceToSurfaceFilters) {
    const std::uint32_t B = 0xFF000000, W = 0xFFFFFFFF, C = 0xFFC8C8C8, key = 0x04564564;
    const Argb blackWhite = {B, W}, ramp = {B, 0xFF404040, 0xFFBFBFBF, W};
    const Argb checker = {B, C, B, C, C, B, C, B, B, C, B, C, C, B, C, B};
    const struct {
        const char* name;
        std::uint32_t filter, key;
        int srcW, srcH, dstW, dstH;
        Argb src, want;
    } cases[] = {
        {"point", D3DX_FILTER_POINT, 0, 2, 1, 4, 1, blackWhite, Argb{B, B, W, W}},
        // Dest centres map to 0.25, 0.75, 1.25 and 1.75 source texels, between centres 0.5, 1.5.
        {"linear", D3DX_FILTER_LINEAR, 0, 2, 1, 4, 1, blackWhite, ramp},
        {"default", D3DX_DEFAULT_FILTER, 0, 2, 1, 4, 1, blackWhite, ramp},
        {"triangle, dither bit", D3DX_FILTER_TRIANGLE | 0x80000, 0, 2, 1, 4, 1, blackWhite, ramp},
        // No scaling: copied from the top left, the rest transparent black.
        {"none", D3DX_FILTER_NONE, 0, 2, 1, 4, 1, blackWhite, Argb{B, W, 0, 0}},
        // Every output pixel is the mean of a 2 x 2 checker.
        {"linear down", D3DX_FILTER_LINEAR, 0, 4, 4, 2, 2, checker, Argb(4, 0xFF646464)},
        // The key clears pixels before scaling.
        {"point with key", D3DX_FILTER_POINT, key, 2, 1, 4, 2, Argb{key, W},
         Argb{0, 0, W, W, 0, 0, W, W}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto dest = device_->CreateImageSurface(c.dstW, c.dstH, D3DFMT_A8R8G8B8);
        D3DXLoadSurfaceFromSurface(*dest, nullptr, nullptr,
                                   *ArgbSurface(*device_, c.srcW, c.srcH, c.src), nullptr, nullptr,
                                   c.filter, c.key);
        EXPECT_EQ(ArgbOf(*dest), c.want);
    }
}

// DXT3 of a 256 x 256 photograph-like image with alpha: 39.1 dB RGB PSNR with libsquish 1.15's
// cluster fit, 38.8 dB with our BC2 encoder at its Fast level. Alpha keeps 4 bits: within 8.
TEST_F(ImageIo, CompressionWithinMeasuredQualityReportsProgress) {
    const Argb photo = SyntheticPhoto(256, 256, /*withAlpha=*/true);
    auto compressed = device_->CreateImageSurface(256, 256, D3DFMT_DXT3);
    std::vector<int> reports;
    D3DXLoadSurfaceFromSurface(
        *compressed, nullptr, nullptr, *ArgbSurface(*device_, 256, 256, photo), nullptr, nullptr,
        D3DX_DEFAULT_FILTER, 0, [&reports](int percent) { reports.push_back(percent); });
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), 0);
    EXPECT_EQ(reports.back(), 100);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    const Argb back = ArgbOf(*compressed);
    const double psnr = RgbPsnr(photo, back);
    RecordProperty("dxt3_rgb_psnr_db", std::to_string(psnr));
    EXPECT_GT(psnr, 38.0);
    for (std::size_t i = 0; i < photo.size(); ++i)
        ASSERT_LE(std::abs(static_cast<int>(back[i] >> 24) - static_cast<int>(photo[i] >> 24)), 8);
}

// DXT1 keeps one bit of alpha (below 128: transparent black); DXT4 is encoded as DXT5, colours as
// given, and two alphas are the endpoints of a DXT5 block.
TEST_F(ImageIo, BlockTargetsKeepTheirAlpha) {
    Argb twoAlphas(16, 0x20FFFFFF);
    std::fill(twoAlphas.begin() + 8, twoAlphas.end(), 0xC0FFFFFF);
    for (D3DFORMAT format : {D3DFMT_DXT4, D3DFMT_DXT5})
        EXPECT_EQ(ArgbOf(*Converted(format, 4, 4, twoAlphas)), twoAlphas);
    const Argb dxt1 = ArgbOf(*Converted(D3DFMT_DXT1, 4, 4, twoAlphas));
    EXPECT_EQ(dxt1[0], 0u);
    EXPECT_EQ(dxt1[15], 0xFFFFFFFFu);
}

// Each refusal has its code and a message naming the reason (and the file), costs no device
// memory, and leaves the file that was there.
TEST_F(ImageIo, RefusesBadCalls) {
    const std::string target = dir_.File("out.dds");
    WriteBytes(target, {'o', 'l', 'd'});
    WriteBytes(dir_.File("text.png"), {'n', 'o', 't', ' ', 'p', 'n', 'g'});
    D3DXSaveTextureToFile(dir_.File("ok.bmp"), D3DXIFF_BMP, *ArgbTexture(*device_, 1, 1, {0}),
                          nullptr);
    auto source = ArgbSurface(*device_, 8, 8, SyntheticPhoto(8, 8));
    auto dxt = device_->CreateImageSurface(8, 8, D3DFMT_DXT3);
    auto texture = ArgbTexture(*device_, 8, 8, SyntheticPhoto(8, 8));
    const auto load = [&](const RECT* destRect, const RECT* srcRect, std::uint32_t filter) {
        return [&dxt, &source, destRect, srcRect, filter] {
            D3DXLoadSurfaceFromSurface(*dxt, nullptr, destRect, *source, nullptr, srcRect, filter,
                                       0);
        };
    };
    const RECT outside{0, 0, 9, 8}, empty{2, 2, 2, 4}, offBlock{2, 0, 8, 4};
    const struct {
        std::function<void()> call;
        HRESULT code;
        Parts parts;
    } cases[] = {
        {load(nullptr, &outside, D3DX_DEFAULT_FILTER), D3DERR_INVALIDCALL,
         Parts{"source rectangle"}},
        {load(&empty, nullptr, D3DX_DEFAULT_FILTER), D3DERR_INVALIDCALL,
         Parts{"destination rectangle"}},
        {load(&offBlock, nullptr, D3DX_DEFAULT_FILTER), D3DERR_INVALIDCALL, Parts{"block edges"}},
        {load(nullptr, nullptr, 9), D3DERR_INVALIDCALL, Parts{"filter 9"}},
        {[&] { LoadTexture(*device_, dir_.File("missing.bmp")); }, E_FAIL,
         Parts{"cannot open", "missing.bmp"}},
        {[&] { LoadTexture(*device_, dir_.File("text.png")); }, D3DXERR_INVALIDDATA,
         Parts{"not a supported image", "text.png"}},
        {[&] { LoadAs(dir_.File("ok.bmp"), 0, 9000, 2); }, D3DERR_INVALIDCALL,
         Parts{"9000 x 2", "ok.bmp", "largest texture is 8192 x 8192"}},
        {[&] { D3DXSaveTextureToFile(target, D3DXIFF_PPM, *texture, nullptr); }, D3DERR_INVALIDCALL,
         Parts{"cannot save", "out.dds", "file type 5"}},
        {[&] { D3DXSaveSurfaceToFile(target, D3DXIFF_BMP, *source, nullptr, &outside); },
         D3DERR_INVALIDCALL, Parts{"cannot save", "out.dds", "rectangle"}},
        {[&] {
             ScopedWriteFault fault({WriteStage::Write, 100, ENOSPC});
             D3DXSaveTextureToFile(target, D3DXIFF_DDS, *texture, nullptr);
         },
         E_FAIL, Parts{"cannot write", "out.dds"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parts.back());
        const std::int64_t before = device_->memoryAccount()->used();
        ExpectError(c.call, c.code, c.parts);
        EXPECT_EQ(device_->memoryAccount()->used(), before);
    }
    EXPECT_EQ(ReadBytes(target), (FileBytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"ok.bmp", "out.dds", "text.png"}));
    source->LockRect(nullptr, 0);
    ExpectError(load(nullptr, nullptr, D3DX_DEFAULT_FILTER), D3DERR_INVALIDCALL, {"locked"});
    source->UnlockRect();
    // A block-aligned part of a compressed surface can be loaded.
    const RECT block{4, 4, 8, 8};
    load(&block, &block, D3DX_DEFAULT_FILTER)();
}

}  // namespace
}  // namespace tintora::testing
