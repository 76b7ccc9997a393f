// Helpers shared by the image-file tests: a scratch directory, file bytes, surfaces made from
// pixel lists, and running ImageMagick.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "device/d3dx_file.h"
#include "device/device.h"
#include "base/pixel_format.h"
#include "support/test_device.h"

namespace tintora::testing {

// A fresh directory under the system's temporary directory, removed with its contents.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tintora-test-XXXXXX");
        char* made = ::mkdtemp(pattern.data());
        if (made == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = made;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    // Names of everything in the directory, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path);
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The A8R8G8B8 pixels of a whole surface of any format, rows tight.
inline std::vector<std::uint32_t> ArgbOf(const Surface& surface) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(surface.width()) * surface.height());
    DecodeToArgb(surface.storageFormat(), surface.bits(), surface.pitch(), surface.width(),
                 surface.height(), out.data());
    return out;
}

inline std::vector<std::uint32_t> ArgbOf(const Texture& texture) {
    return ArgbOf(*texture.GetSurfaceLevel(0));
}

// An A8R8G8B8 image surface holding the given pixels.
inline std::shared_ptr<Surface> ArgbSurface(Device& device, int width, int height,
                                            const std::vector<std::uint32_t>& pixels) {
    auto surface = device.CreateImageSurface(width, height, D3DFMT_A8R8G8B8);
    std::memcpy(surface->bits(), pixels.data(), pixels.size() * 4);
    surface->Touch();
    return surface;
}

// A managed A8R8G8B8 texture holding the given pixels.
inline std::shared_ptr<Texture> ArgbTexture(Device& device, int width, int height,
                                            const std::vector<std::uint32_t>& pixels) {
    auto texture = device.CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    auto level = texture->GetSurfaceLevel(0);
    std::memcpy(level->bits(), pixels.data(), pixels.size() * 4);
    level->Touch();
    return texture;
}

// Loads a file as the editor does: keep the file's format, no colour key.
inline std::shared_ptr<Texture> LoadTexture(Device& device, const std::string& path,
                                            D3DXIMAGE_INFO* info = nullptr) {
    return D3DXCreateTextureFromFileEx(device, path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                       D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                       D3DX_FILTER_NONE, 0, info, nullptr);
}

// ImageMagick 6 under its Debian name (another "convert" may come first on the PATH).
inline bool HaveImageMagick() {
    return std::system("command -v convert-im6.q16 >/dev/null 2>&1") == 0;
}

// Runs a shell command and returns what it wrote to standard output; fails the test on an error.
inline std::vector<std::uint8_t> RunCommand(const std::string& command) {
    std::vector<std::uint8_t> out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << command;
    return out;
}

// R G B A bytes (as ImageMagick's rgba: writes them) to A8R8G8B8 pixels.
inline std::vector<std::uint32_t> ArgbFromRgbaBytes(const std::vector<std::uint8_t>& rgba) {
    std::vector<std::uint32_t> out(rgba.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t* p = rgba.data() + 4 * i;
        out[i] = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) |
                 (std::uint32_t{p[1]} << 8) | p[2];
    }
    return out;
}

// The pixels ImageMagick decodes from a file, 8 bits per channel, rows in display order
// (ImageMagick 6 keeps TGA rows as stored and records the origin as an orientation).
inline std::vector<std::uint32_t> ImageMagickPixels(const std::string& path) {
    return ArgbFromRgbaBytes(
        RunCommand("convert-im6.q16 '" + path + "' -auto-orient -depth 8 rgba:-"));
}

// Largest difference of any channel between two images of the same size (255 when sizes differ).
inline int MaxChannelDifference(const std::vector<std::uint32_t>& a,
                                const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return 255;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int d =
                static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
            worst = std::max(worst, d < 0 ? -d : d);
        }
    }
    return worst;
}

// Test fixture with a software device.
class DeviceTest : public ::testing::Test {
  protected:
    DeviceTest() : d3d_(Direct3DCreate8()), device_(MakeTestDevice(d3d_)) {}
    std::shared_ptr<Direct3D8> d3d_;
    std::shared_ptr<Device> device_;
};

}  // namespace tintora::testing
