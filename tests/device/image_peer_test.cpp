// ImageMagick as the peer codec: files it writes open with the pixels it decodes from them, and
// the files we write decode in ImageMagick to the pixels we wrote. A set of ImageMagick files
// with their decoded pixels is kept in tests/data/peer (made by tests/data/make_peer_files.sh), so
// the first check also runs where ImageMagick is not installed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/image_test_support.h"
#include "device/d3dx_file.h"
#include "support/synthetic_photo.h"

namespace tintora {
namespace {

using testing::ArgbFromRgbaBytes;
using testing::ArgbOf;
using testing::ArgbSurface;
using testing::DeviceTest;
using testing::HaveImageMagick;
using testing::ImageMagickPixels;
using testing::LoadTexture;
using testing::MaxChannelDifference;
using testing::ReadBytes;
using testing::RunCommand;
using testing::ScratchDir;
using testing::SyntheticPhoto;

// How far our decode of a peer file may lie from ImageMagick's, per channel: nothing, except
// for 16-bit PNG channels, which Qt rounds to 8 bits and ImageMagick's 8-bit output truncates.
// JPEG (libjpeg-turbo on both sides) and DXT (libsquish against ImageMagick's own decoder)
// match exactly.
int ToleranceFor(const std::string& name) {
    return name.find("16.png") != std::string::npos ? 1 : 0;
}

// ImageMagick 6 widens the 4-bit fields of an ARGB4444 bitmap by shifting (15 -> 240); we repeat
// the bits (15 -> 255) as for every other narrow channel. Gives ImageMagick's pixels our way.
std::vector<std::uint32_t> RepeatNibbles(std::vector<std::uint32_t> pixels) {
    for (std::uint32_t& c : pixels)
        c |= (c >> 4) & 0x0F0F0F0F;
    return pixels;
}

// Compares every peer file in dir with the pixels stored beside it; returns how many it checked.
int CheckPeerFiles(Device& device, const std::filesystem::path& dir) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".rgba") continue;
        SCOPED_TRACE(name);
        std::vector<std::uint32_t> want =
            ArgbFromRgbaBytes(ReadBytes(entry.path().string() + ".rgba"));
        if (name == "bmp16_4444.bmp") want = RepeatNibbles(std::move(want));
        std::vector<std::uint32_t> got;
        try {
            got = ArgbOf(*LoadTexture(device, entry.path().string()));
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        EXPECT_EQ(got.size(), want.size());
        EXPECT_LE(MaxChannelDifference(got, want), ToleranceFor(name));
        ++checked;
    }
    return checked;
}

class Peer : public DeviceTest {};

TEST_F(Peer, StoredImageMagickFilesOpenWithItsPixels) {
    EXPECT_EQ(CheckPeerFiles(*device_, TINTORA_TEST_DATA_DIR "/peer"), 28);
}

TEST_F(Peer, FreshImageMagickFilesOpenWithItsPixels) {
    if (!HaveImageMagick()) GTEST_SKIP() << "convert-im6.q16 is not installed";
    ScratchDir dir;
    RunCommand("'" TINTORA_TEST_DATA_DIR "/make_peer_files.sh' '" + dir.path().string() + "'");
    EXPECT_EQ(CheckPeerFiles(*device_, dir.path()), 28);
}

// Our files, decoded by ImageMagick, give the pixels that we decode from them.
TEST_F(Peer, ImageMagickReadsOurFiles) {
    if (!HaveImageMagick()) GTEST_SKIP() << "convert-im6.q16 is not installed";
    ScratchDir dir;
    const int w = 21, h = 14;
    std::vector<std::uint32_t> photo = SyntheticPhoto(w, h, /*withAlpha=*/true);
    photo[5] = 0x00000000;
    photo[6] = 0x80FFFFFF;
    auto source = ArgbSurface(*device_, w, h, photo);
    struct Case {
        const char* name;
        D3DXIMAGE_FILEFORMAT type;
        D3DFORMAT format;
        int tolerance;
    };
    const Case cases[] = {
        {"ours.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8, 0},
        {"ours.tga", D3DXIFF_TGA, D3DFMT_A8R8G8B8, 0},
        {"ours.png", D3DXIFF_PNG, D3DFMT_A8R8G8B8, 0},
        {"a8r8g8b8.dds", D3DXIFF_DDS, D3DFMT_A8R8G8B8, 0},
        {"x8r8g8b8.dds", D3DXIFF_DDS, D3DFMT_X8R8G8B8, 0},
        {"r8g8b8.dds", D3DXIFF_DDS, D3DFMT_R8G8B8, 0},
        {"a4r4g4b4.dds", D3DXIFF_DDS, D3DFMT_A4R4G4B4, 0},
        // ImageMagick widens 5 and 6-bit DDS channels arithmetically, we repeat the bits.
        {"r5g6b5.dds", D3DXIFF_DDS, D3DFMT_R5G6B5, 1},
        {"dxt1.dds", D3DXIFF_DDS, D3DFMT_DXT1, 0},
        {"dxt3.dds", D3DXIFF_DDS, D3DFMT_DXT3, 0},
        {"dxt5.dds", D3DXIFF_DDS, D3DFMT_DXT5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto surface = device_->CreateImageSurface(w, h, c.format);
        D3DXLoadSurfaceFromSurface(*surface, nullptr, nullptr, *source, nullptr, nullptr,
                                   D3DX_DEFAULT_FILTER, 0);
        const std::string path = dir.File(c.name);
        D3DXSaveSurfaceToFile(path, c.type, *surface, nullptr, nullptr);
        const std::vector<std::uint32_t> ours = ArgbOf(*surface);
        const std::vector<std::uint32_t> theirs = ImageMagickPixels(path);
        ASSERT_EQ(theirs.size(), ours.size());
        EXPECT_LE(MaxChannelDifference(theirs, ours), c.tolerance);
    }
}

}  // namespace
}  // namespace tintora
