// ImageMagick as the peer codec of the image-file tests: running it and reading the pixels it
// decodes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tintora::testing {

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

}  // namespace tintora::testing
