// Our own PNG and JPEG readers against Qt's readers on the same bytes: the same decoded image
// (size, formats, every byte) or the same error, for the files they read themselves and for those
// they leave to Qt.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/error.h"
#include "imagefiles/jpeg_reader.h"
#include "imagefiles/png_reader.h"
#include "imagefiles/qt_image_codec.h"
#include "support/synthetic_photo.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

// What a read gave: the image's fields and bytes, or the error's code and message.
std::string Outcome(const std::function<DecodedImage()>& read) {
    try {
        const DecodedImage image = read();
        std::string out = std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
                          std::to_string(image.format) + " " + std::to_string(image.fileFormat) +
                          ":";
        return out.append(image.bytes.begin(), image.bytes.end());
    } catch (const PlatformError& error) {
        return "error " + std::to_string(error.code()) + " " + error.what();
    }
}

void PutBe32(FileBytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutChunk(FileBytes& png, const char* type, const FileBytes& body, bool badCrc = false) {
    PutBe32(png, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    PutBe32(png, Crc32(png.data() + start, png.size() - start) ^ (badCrc ? 1u : 0u));
}

struct PngCase {
    const char* name;
    std::uint32_t width, height;
    std::uint8_t depth, colourType, interlace;
    int channels;        // bytes per pixel of the stored rows
    int idatPieces = 1;  // the zlib data split over this many IDAT chunks
    FileBytes extra{};   // a chunk of this type before IDAT (tRNS, PLTE)
    int badFilterRow = -1;
    bool badCrc = false;
    bool own = true;  // read by our reader, not left to Qt's
};

// Rows of random bytes behind random filter numbers (any bytes are valid filtered data).
FileBytes MakePng(const PngCase& c, std::mt19937& random) {
    const std::size_t rowBytes = (c.width * c.depth * c.channels + 7) / 8;
    QByteArray raw;
    for (std::uint32_t y = 0; y < c.height; ++y) {
        raw.append(static_cast<char>(static_cast<int>(y) == c.badFilterRow ? 5 : random() % 5));
        for (std::size_t x = 0; x < rowBytes; ++x)
            raw.append(static_cast<char>(random()));
    }
    const QByteArray packed = qCompress(raw).mid(4);  // qCompress puts the length first
    FileBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    FileBytes header;
    PutBe32(header, c.width);
    PutBe32(header, c.height);
    header.insert(header.end(), {c.depth, c.colourType, 0, 0, c.interlace});
    PutChunk(png, "IHDR", header);
    if (!c.extra.empty()) PutChunk(png, reinterpret_cast<const char*>(c.extra.data()), {0, 1, 2});
    const auto piece = (packed.size() + c.idatPieces - 1) / c.idatPieces;
    for (qsizetype at = 0; at < packed.size(); at += piece) {
        const QByteArray part = packed.mid(at, piece);
        PutChunk(png, "IDAT", FileBytes(part.begin(), part.end()), c.badCrc);
    }
    PutChunk(png, "IEND", {});
    return png;
}

TEST(OwnReaders, PngGivesQtsBytes) {
    const FileBytes trns = {'t', 'R', 'N', 'S'}, plte = {'P', 'L', 'T', 'E'};
    const PngCase cases[] = {
        {"grey", 13, 7, 8, 0, 0, 1},
        {"grey and alpha", 9, 11, 8, 4, 0, 2},
        {"rgb", 17, 5, 8, 2, 0, 3},
        {"rgba", 21, 9, 8, 6, 0, 4},
        {"one pixel", 1, 1, 8, 6, 0, 4},
        {"three IDAT chunks", 64, 6, 8, 2, 0, 3, 3},
        {"grey in four IDAT chunks", 40, 6, 8, 0, 0, 1, 4},
        {"grey and alpha, one column", 1, 9, 8, 4, 0, 2},
        // Left to Qt's reader.
        {"transparency chunk", 8, 4, 8, 2, 0, 3, 1, trns, -1, false, false},
        {"palette", 8, 4, 8, 3, 0, 1, 1, plte, -1, false, false},
        {"16-bit", 6, 5, 16, 6, 0, 4, 1, {}, -1, false, false},
        {"interlaced", 6, 5, 8, 6, 1, 4, 1, {}, -1, false, false},
        {"filter 5", 6, 5, 8, 6, 0, 4, 1, {}, 3, false, false},
        {"filter 5 after four IDAT chunks", 32, 6, 8, 6, 0, 4, 4, {}, 3, false, false},
        {"damaged IDAT", 6, 5, 8, 6, 0, 4, 1, {}, -1, true, false},
    };
    std::mt19937 random(7);
    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FileBytes png = MakePng(c, random);
        EXPECT_EQ(DecodeCommonPng(png, "a.png").has_value(), c.own);
        const std::string ours = Outcome([&] { return DecodePng(png, "a.png"); });
        EXPECT_TRUE(ours == Outcome([&] { return DecodePngWithQt(png, "a.png"); }))
            << ours.substr(0, 80);
        // Decoding in the file's own memory gives the same, and a file left to Qt's reader
        // reaches it as it came.
        FileBytes own = png;
        EXPECT_EQ(DecodeCommonPngInPlace(own, "a.png").has_value(), c.own);
        if (!c.own) {
            EXPECT_TRUE(own == png);
        }
        own = png;
        EXPECT_TRUE(Outcome([&] { return DecodePngInPlace(own, "a.png"); }) == ours);
    }
}

TEST(OwnReaders, JpegGivesQtsBytes) {
    const std::vector<std::uint32_t> photo = SyntheticPhoto(67, 45);
    const QImage colour(reinterpret_cast<const uchar*>(photo.data()), 67, 45, 67 * 4,
                        QImage::Format_RGB32);
    struct Case {
        const char* name;
        QImage image;
        bool progressive;
        int quality;
    };
    const Case cases[] = {
        {"colour", colour, false, 75},
        {"progressive", colour, true, 90},
        {"best quality", colour, false, 100},
        {"grey", colour.convertToFormat(QImage::Format_Grayscale8), false, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(c.quality);
        writer.setProgressiveScanWrite(c.progressive);
        ASSERT_TRUE(writer.write(c.image));
        const FileBytes jpeg(bytes.begin(), bytes.end());
        EXPECT_TRUE(DecodeCommonJpeg(jpeg, "a.jpg").has_value());
        EXPECT_TRUE(Outcome([&] { return DecodeJpeg(jpeg, "a.jpg"); }) ==
                    Outcome([&] { return DecodeJpegWithQt(jpeg, "a.jpg"); }));
    }
}

}  // namespace
}  // namespace tintora::testing
