// Test files: a scratch directory, whole-file reads and writes, BMP, TGA and DDS files built byte
// by byte from a layout (for the reader tests and fuzz/make_seeds.cpp), and ImageMagick as the peer
// codec that reads them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace tintora::testing {

using FileBytes = std::vector<std::uint8_t>;
using ArgbPixels = std::vector<std::uint32_t>;

// A fresh directory under the system's temporary directory, removed with its contents.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tintora-test-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
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

inline void WriteBytes(const std::string& path, const FileBytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path);
}

inline FileBytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return FileBytes(std::istreambuf_iterator<char>(in), {});
}

inline void Put16(FileBytes& b, std::uint32_t v) {
    b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
}
inline void Put32(FileBytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Append(FileBytes& b, const FileBytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// A bitmap: file header (or none: a packed DIB), information header of any known size (12: OS/2),
// masks (in the header from 52 bytes on, after a 40-byte one), colour table (0x00RRGGBB) and the
// pixel rows exactly as stored. A negative height is top-down.
struct BmpLayout {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1, height = 1;
    std::uint32_t bitCount = 24, compression = 0, colorsUsed = 0;
    std::vector<std::uint32_t> masks{}, palette{};
    FileBytes pixels{};
    bool fileHeader = true;
};

inline FileBytes MakeBmp(const BmpLayout& s) {
    const auto width = static_cast<std::uint32_t>(s.width);
    const auto height = static_cast<std::uint32_t>(s.height);
    FileBytes info;
    Put32(info, s.headerSize);
    if (s.headerSize == 12) {
        for (std::uint32_t v : {width, height, 1u, s.bitCount})
            Put16(info, v);
    } else {
        for (std::uint32_t v :
             {width, height, 1 | s.bitCount << 16, s.compression,
              static_cast<std::uint32_t>(s.pixels.size()), 2835u, 2835u, s.colorsUsed, 0u})
            Put32(info, v);
        for (std::size_t m = 0; info.size() < s.headerSize; ++m)
            Put32(info, m < s.masks.size() && s.headerSize >= 52 ? s.masks[m] : 0);
    }
    for (std::uint32_t mask : s.headerSize == 40 ? s.masks : std::vector<std::uint32_t>{})
        Put32(info, mask);
    for (std::uint32_t colour : s.palette) {
        Put32(info, colour & 0xFFFFFF);
        if (s.headerSize == 12) info.pop_back();  // three-byte entries
    }
    FileBytes file;
    if (s.fileHeader) {
        file = {'B', 'M'};
        for (std::size_t v : {14 + info.size() + s.pixels.size(), std::size_t{0}, 14 + info.size()})
            Put32(file, static_cast<std::uint32_t>(v));
    }
    Append(file, info);
    Append(file, s.pixels);
    return file;
}

// A TGA file: header, image id, colour map, pixels (or packets) as stored, optional footer. The
// descriptor holds the alpha bits, 0x10 for right to left and 0x20 for top-down.
struct TgaLayout {
    std::uint8_t imageType = 2, mapType = 0;
    std::uint16_t mapFirst = 0, mapLength = 0;
    std::uint8_t mapBits = 0;
    std::uint16_t width = 1, height = 1;
    std::uint8_t bits = 24, descriptor = 0;
    FileBytes id{}, map{}, pixels{};
    bool footer = false;
};

inline FileBytes MakeTga(const TgaLayout& s) {
    FileBytes b = {static_cast<std::uint8_t>(s.id.size()), s.mapType, s.imageType};
    Put16(b, s.mapFirst);
    Put16(b, s.mapLength);
    b.push_back(s.mapBits);
    Put32(b, 0);  // origin
    Put16(b, s.width);
    Put16(b, s.height);
    b.insert(b.end(), {s.bits, s.descriptor});
    for (const FileBytes* part : {&s.id, &s.map, &s.pixels})
        Append(b, *part);
    if (s.footer) {
        const char signature[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
        b.insert(b.end(), signature, signature + sizeof signature);
    }
    return b;
}

constexpr std::uint32_t FourCC(const char (&code)[5]) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(code[i]);
    return value;
}

// A DDS file: header, pixel format (masks R G B A, or a four-character code), the DX10 extension
// header when asked (dimension 3: 2D), and the data as stored (a palette first). caps2: 0x200 a
// cube map with the faces 0x400 to 0x8000, 0x200000 a volume; misc 4: a DX10 cube map.
struct DdsLayout {
    std::uint32_t width = 4, height = 4;
    std::uint32_t flags = 0x1007;  // CAPS | HEIGHT | WIDTH | PIXELFORMAT (| 0x8 PITCH)
    std::uint32_t pitch = 0, mipCount = 0, depth = 0;
    std::uint32_t pfFlags = 0x41;  // RGB | ALPHAPIXELS
    std::uint32_t fourCC = 0, bitCount = 32;
    std::uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    std::uint32_t caps2 = 0;
    bool dx10 = false;
    std::uint32_t dxgi = 0, dimension = 3, misc = 0, arraySize = 1, alphaMode = 0;
    FileBytes data{};
};

inline FileBytes MakeDds(const DdsLayout& s) {
    FileBytes b = {'D', 'D', 'S', ' '};
    for (std::uint32_t v : {124u, s.flags, s.height, s.width, s.pitch, s.depth, s.mipCount})
        Put32(b, v);
    b.resize(b.size() + 11 * 4);
    for (std::uint32_t v :
         {32u, s.dx10 ? 0x4 : s.pfFlags, s.dx10 ? FourCC("DX10") : s.fourCC, s.bitCount, s.masks[0],
          s.masks[1], s.masks[2], s.masks[3], 0x1000u /* TEXTURE */, s.caps2, 0u, 0u, 0u})
        Put32(b, v);
    if (s.dx10) {
        for (std::uint32_t v : {s.dxgi, s.dimension, s.misc, s.arraySize, s.alphaMode})
            Put32(b, v);
    }
    Append(b, s.data);
    return b;
}

// ImageMagick 6 under its Debian name (another "convert" may come first on the PATH).
inline bool HaveImageMagick() {
    return std::system("command -v convert-im6.q16 >/dev/null 2>&1") == 0;
}

// R G B A bytes (as ImageMagick's rgba: writes them) to A8R8G8B8 pixels.
inline ArgbPixels ArgbFromRgbaBytes(const FileBytes& rgba) {
    ArgbPixels out(rgba.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t* p = rgba.data() + 4 * i;
        out[i] = (std::uint32_t{p[3]} << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
    }
    return out;
}

// The pixels ImageMagick decodes from a file, rows in display order (ImageMagick 6 keeps TGA rows
// as stored and records the origin as an orientation).
inline ArgbPixels ImageMagickPixels(const std::string& path) {
    const std::string command = "convert-im6.q16 '" + path + "' -auto-orient -depth 8 rgba:-";
    FILE* pipe = ::popen(command.c_str(), "r");
    FileBytes rgba;
    for (int c = pipe ? std::fgetc(pipe) : EOF; c != EOF; c = std::fgetc(pipe))
        rgba.push_back(static_cast<std::uint8_t>(c));
    if (pipe == nullptr || ::pclose(pipe) != 0) throw std::runtime_error(command + " failed");
    return ArgbFromRgbaBytes(rgba);
}

// Largest difference of any channel between two images of the same size (255 when sizes differ).
inline int MaxChannelDifference(const ArgbPixels& a, const ArgbPixels& b) {
    const auto channel = [](std::uint32_t p, int shift) {
        return static_cast<int>(p >> shift & 0xFF);
    };
    int worst = a.size() == b.size() ? 0 : 255;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8)
            worst = std::max(worst, std::abs(channel(a[i], shift) - channel(b[i], shift)));
    }
    return worst;
}

}  // namespace tintora::testing
