// Test files made by hand: a scratch directory, whole-file reads and writes, and BMP, TGA and DDS
// files built byte by byte from a layout. The image reader tests and the fuzz seeds
// (fuzz/make_seeds.cpp) make their files here. Needs nothing but the standard library.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace tintora::testing {

using FileBytes = std::vector<std::uint8_t>;

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
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(FileBytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Append(FileBytes& b, const FileBytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// A bitmap: file header (or none: a packed DIB), information header of any known size, masks,
// colour table and the pixel bytes exactly as stored.
struct BmpLayout {
    std::uint32_t headerSize = 40;  // 12: OS/2 core header
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: top-down
    std::uint32_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> masks{};    // written into the header (>= 52) or after it (40)
    std::vector<std::uint32_t> palette{};  // 0x00RRGGBB
    FileBytes pixels{};                    // rows exactly as stored
    bool fileHeader = true;
};

inline FileBytes MakeBmp(const BmpLayout& s) {
    FileBytes info;
    Put32(info, s.headerSize);
    if (s.headerSize == 12) {
        Put16(info, static_cast<std::uint32_t>(s.width));
        Put16(info, static_cast<std::uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bitCount);
    } else {
        Put32(info, static_cast<std::uint32_t>(s.width));
        Put32(info, static_cast<std::uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bitCount);
        Put32(info, s.compression);
        Put32(info, static_cast<std::uint32_t>(s.pixels.size()));
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, s.colorsUsed);
        Put32(info, 0);
        for (std::size_t m = 0; info.size() < s.headerSize; ++m)
            Put32(info, m < s.masks.size() && s.headerSize >= 52 ? s.masks[m] : 0);
    }
    if (s.headerSize == 40) {
        for (std::uint32_t mask : s.masks)
            Put32(info, mask);
    }
    for (std::uint32_t colour : s.palette) {
        info.push_back(static_cast<std::uint8_t>(colour));
        info.push_back(static_cast<std::uint8_t>(colour >> 8));
        info.push_back(static_cast<std::uint8_t>(colour >> 16));
        if (s.headerSize != 12) info.push_back(0);
    }
    FileBytes file;
    if (s.fileHeader) {
        file = {'B', 'M'};
        Put32(file, static_cast<std::uint32_t>(14 + info.size() + s.pixels.size()));
        Put32(file, 0);
        Put32(file, static_cast<std::uint32_t>(14 + info.size()));
    }
    Append(file, info);
    Append(file, s.pixels);
    return file;
}

// A TGA file: header, image id, colour map, pixels (or packets) as stored, optional footer.
struct TgaLayout {
    std::uint8_t imageType = 2;
    std::uint8_t mapType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapBits = 0;
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    std::uint8_t bits = 24;
    std::uint8_t descriptor = 0;  // alpha bits, 0x10 right to left, 0x20 top-down
    FileBytes id{};
    FileBytes map{};
    FileBytes pixels{};
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
    b.push_back(s.bits);
    b.push_back(s.descriptor);
    Append(b, s.id);
    Append(b, s.map);
    Append(b, s.pixels);
    if (s.footer) {
        Put32(b, 0);
        Put32(b, 0);
        const char signature[] = "TRUEVISION-XFILE.";
        b.insert(b.end(), signature, signature + sizeof signature);
    }
    return b;
}

constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return static_cast<std::uint8_t>(code[0]) | (static_cast<std::uint8_t>(code[1]) << 8) |
           (static_cast<std::uint8_t>(code[2]) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3])) << 24);
}

// A DDS file: header, pixel format (masks or a four-character code), the DX10 extension header
// when asked, and the data as stored.
struct DdsLayout {
    std::uint32_t width = 4;
    std::uint32_t height = 4;
    std::uint32_t flags = 0x1007;  // CAPS | HEIGHT | WIDTH | PIXELFORMAT
    std::uint32_t mipCount = 0;
    std::uint32_t depth = 0;
    std::uint32_t pfFlags = 0x41;  // RGB | ALPHAPIXELS
    std::uint32_t fourCC = 0;
    std::uint32_t bitCount = 32;
    std::uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};  // R G B A
    std::uint32_t caps2 = 0;
    bool dx10 = false;
    std::uint32_t dxgi = 0;
    std::uint32_t dimension = 3;  // 2D
    std::uint32_t misc = 0;
    std::uint32_t arraySize = 1;
    std::uint32_t alphaMode = 0;
    FileBytes data{};
};

inline FileBytes MakeDds(const DdsLayout& s) {
    FileBytes b = {'D', 'D', 'S', ' '};
    for (std::uint32_t v : {124u, s.flags, s.height, s.width, 0u, s.depth, s.mipCount})
        Put32(b, v);
    b.resize(b.size() + 11 * 4);
    Put32(b, 32);
    Put32(b, s.dx10 ? 0x4 : s.pfFlags);
    Put32(b, s.dx10 ? FourCC("DX10") : s.fourCC);
    Put32(b, s.bitCount);
    for (std::uint32_t m : s.masks)
        Put32(b, m);
    Put32(b, 0x1000);  // TEXTURE
    Put32(b, s.caps2);
    b.resize(b.size() + 3 * 4);
    if (s.dx10) {
        for (std::uint32_t v : {s.dxgi, s.dimension, s.misc, s.arraySize, s.alphaMode})
            Put32(b, v);
    }
    Append(b, s.data);
    return b;
}

}  // namespace tintora::testing
