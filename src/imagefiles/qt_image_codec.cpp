#include "imagefiles/qt_image_codec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstring>

#include "base/error.h"
#include "imagefiles/jpeg_reader.h"
#include "imagefiles/png_reader.h"

namespace tintora {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Qt refuses to decode images whose buffer would exceed this many MiB; 8192 x 8192 pixels with
// 16-bit channels take 512 MiB, and the size has been checked against the device limit before.
constexpr int kQtAllocationLimitMiB = 600;

bool Contains(std::span<const std::uint8_t> data, const char* text) {
    const std::size_t n = std::strlen(text);
    if (data.size() < n) return false;
    for (std::size_t i = 0; i + n <= data.size(); ++i) {
        if (std::memcmp(data.data() + i, text, n) == 0) return true;
    }
    return false;
}

// True when the JPEG data has an end-of-image marker after its last start-of-scan marker. In the
// entropy-coded data every 0xFF byte is followed by 0x00 or a restart marker, so 0xFF 0xDA and
// 0xFF 0xD9 occur only as markers there.
bool JpegHasEnd(std::span<const std::uint8_t> data) {
    std::size_t lastScan = 0;
    bool sawScan = false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0xFF && data[i + 1] == 0xDA) {
            lastScan = i;
            sawScan = true;
        }
    }
    if (!sawScan) return false;
    for (std::size_t i = data.size() - 1; i > lastScan + 1; --i) {
        if (data[i - 1] == 0xFF && data[i] == 0xD9) return true;
    }
    return false;
}

std::uint32_t LoadBe16(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 8) | p[1];
}

std::uint32_t LoadBe32(const std::uint8_t* p) {
    return (LoadBe16(p) << 16) | LoadBe16(p + 2);
}

// The size in a PNG header (the IHDR chunk right after the signature); false when it is missing.
bool PngSize(std::span<const std::uint8_t> data, std::int64_t* width, std::int64_t* height) {
    if (data.size() < 24 || std::memcmp(data.data() + 12, "IHDR", 4) != 0) return false;
    *width = LoadBe32(data.data() + 16);
    *height = LoadBe32(data.data() + 20);
    return true;
}

// Refuses PNG data with a chunk that claims to run past the end of the data. libpng allocates an
// ancillary chunk's declared length in one piece before reading it (a 300-byte file whose text
// chunk claims 1.1 GB cost that much memory), so every length is checked against the bytes the
// file really holds first. The walk stops at the end chunk; data that ends between two chunks is
// left to the decoder.
void RequirePngChunksWithin(std::span<const std::uint8_t> data, const std::string& fileName) {
    std::size_t pos = sizeof kPngSignature;
    if (data.size() < pos) return;
    while (data.size() - pos >= 8) {
        const std::uint64_t length = LoadBe32(data.data() + pos);
        // Length, type, data and CRC.
        if (length + 12 > data.size() - pos) {
            ThrowBadImage(fileName, "is truncated: the PNG data stops before its end chunk");
        }
        if (std::memcmp(data.data() + pos + 4, "IEND", 4) == 0) return;
        pos += static_cast<std::size_t>(length) + 12;
    }
}

// The size in a JPEG frame header (any SOFn marker before the first scan); false when none.
bool JpegSize(std::span<const std::uint8_t> data, std::int64_t* width, std::int64_t* height) {
    std::size_t pos = 2;
    while (pos + 4 <= data.size()) {
        if (data[pos] != 0xFF) return false;
        const std::uint8_t marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            pos += 2;
            continue;
        }
        if (marker == 0xDA) return false;  // a scan before any frame header
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (pos + 9 > data.size()) return false;
            *height = LoadBe16(data.data() + pos + 5);
            *width = LoadBe16(data.data() + pos + 7);
            return true;
        }
        pos += 2 + LoadBe16(data.data() + pos + 2);
    }
    return false;
}

DecodedImage DecodeWithQt(std::span<const std::uint8_t> data, const std::string& fileName,
                          const char* format, const char* typeName) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                     static_cast<qsizetype>(data.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(kQtAllocationLimitMiB);
    const QSize size = reader.size();
    if (size.isValid()) RequireTextureSize(fileName, size.width(), size.height());
    QImage image = reader.read();
    if (image.isNull()) {
        ThrowBadImage(fileName, std::string("is not a readable ") + typeName +
                                    " image: " + reader.errorString().toStdString());
    }
    RequireTextureSize(fileName, image.width(), image.height());
    if (image.format() != QImage::Format_ARGB32) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) {
            throw PlatformError(E_OUTOFMEMORY,
                                "not enough memory to convert " + QuotedName(fileName));
        }
    }
    DecodedImage result;
    result.width = image.width();
    result.height = image.height();
    result.format = D3DFMT_A8R8G8B8;
    result.fileFormat = image.hasAlphaChannel() ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    const std::size_t rowBytes = static_cast<std::size_t>(result.width) * 4;
    result.bytes = AllocatePixels(fileName, rowBytes * static_cast<std::size_t>(result.height));
    for (int y = 0; y < result.height; ++y) {
        // QImage::Format_ARGB32 holds 0xAARRGGBB words: bytes B G R A on this little-endian host.
        std::memcpy(result.bytes.data() + static_cast<std::size_t>(y) * rowBytes,
                    image.constScanLine(y), rowBytes);
    }
    return result;
}

ByteBuffer EncodeWithQt(const std::uint8_t* argb, int pitch, int width, int height,
                        const char* format, int quality) {
    const QImage image(argb, width, height, pitch, QImage::Format_ARGB32);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    const bool ok = std::strcmp(format, "jpeg") == 0
                        ? writer.write(image.convertToFormat(QImage::Format_RGB32))
                        : writer.write(image);
    Require(ok, E_FAIL,
            std::string("cannot encode the image: ") + writer.errorString().toStdString());
    return ByteBuffer(bytes.begin(), bytes.end());
}

}  // namespace

void LoadImagePlugins() {
    // Asking what can be read makes an instance of every image plugin, here.
    QImageReader::supportedImageFormats();
}

bool LooksLikePng(std::span<const std::uint8_t> data) {
    return data.size() >= sizeof kPngSignature &&
           std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0;
}

bool LooksLikeJpeg(std::span<const std::uint8_t> data) {
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

namespace {

// writable, when not null, is data's own memory, which our reader may rearrange.
DecodedImage ReadPng(std::span<const std::uint8_t> data, const std::string& fileName,
                     bool ownReader, std::uint8_t* writable = nullptr) {
    std::int64_t width = 0, height = 0;
    if (PngSize(data, &width, &height)) RequireTextureSize(fileName, width, height);
    RequirePngChunksWithin(data, fileName);
    if (ownReader) {
        std::optional<DecodedImage> image =
            writable != nullptr ? DecodeCommonPngInPlace({writable, data.size()}, fileName)
                                : DecodeCommonPng(data, fileName);
        if (image) return std::move(*image);
    }
    try {
        return DecodeWithQt(data, fileName, "png", "PNG");
    } catch (const PlatformError& error) {
        if (error.code() == D3DXERR_INVALIDDATA && !Contains(data, "IEND")) {
            ThrowBadImage(fileName, "is truncated: the PNG data stops before its end chunk");
        }
        throw;
    }
}

DecodedImage ReadJpeg(std::span<const std::uint8_t> data, const std::string& fileName,
                      bool ownReader) {
    if (!JpegHasEnd(data)) {
        ThrowBadImage(fileName, "is truncated: the JPEG data stops before its end marker");
    }
    std::int64_t width = 0, height = 0;
    if (JpegSize(data, &width, &height)) RequireTextureSize(fileName, width, height);
    if (ownReader) {
        if (std::optional<DecodedImage> image = DecodeCommonJpeg(data, fileName)) {
            return std::move(*image);
        }
    }
    return DecodeWithQt(data, fileName, "jpeg", "JPEG");
}

}  // namespace

DecodedImage DecodePng(std::span<const std::uint8_t> data, const std::string& fileName) {
    return ReadPng(data, fileName, true);
}

DecodedImage DecodePngInPlace(std::span<std::uint8_t> data, const std::string& fileName) {
    return ReadPng(data, fileName, true, data.data());
}

DecodedImage DecodeJpeg(std::span<const std::uint8_t> data, const std::string& fileName) {
    return ReadJpeg(data, fileName, true);
}

DecodedImage DecodePngWithQt(std::span<const std::uint8_t> data, const std::string& fileName) {
    return ReadPng(data, fileName, false);
}

DecodedImage DecodeJpegWithQt(std::span<const std::uint8_t> data, const std::string& fileName) {
    return ReadJpeg(data, fileName, false);
}

ByteBuffer EncodePng(const std::uint8_t* argb, int pitch, int width, int height) {
    return EncodeWithQt(argb, pitch, width, height, "png", -1);
}

ByteBuffer EncodeJpeg(const std::uint8_t* argb, int pitch, int width, int height, int quality) {
    return EncodeWithQt(argb, pitch, width, height, "jpeg", quality);
}

}  // namespace tintora
