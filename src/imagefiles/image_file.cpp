#include "imagefiles/image_file.h"

#include <algorithm>
#include <cctype>

#include "imagefiles/bmp_codec.h"
#include "imagefiles/dds_codec.h"
#include "imagefiles/file_io.h"
#include "imagefiles/qt_image_codec.h"
#include "imagefiles/tga_codec.h"

namespace tintora {
namespace {

// Lower-case ending after the last dot of the file's own name ("" when none).
std::string Ending(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ending = fileName.substr(dot + 1);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending;
}

}  // namespace

bool HasImageFileEnding(const std::string& fileName) {
    const std::string ending = "." + Ending(fileName);
    return std::find(kImageFileEndings.begin(), kImageFileEndings.end(), ending) !=
           kImageFileEndings.end();
}

namespace {

// DecodeImageFile; writable, when not null, is data's own memory, which a reader may rearrange.
DecodedImage Decode(std::span<const std::uint8_t> data, std::uint8_t* writable,
                    const std::string& fileName, D3DXIMAGE_FILEFORMAT* type) {
    D3DXIMAGE_FILEFORMAT found;
    const std::string ending = Ending(fileName);
    if (data.empty()) ThrowBadImage(fileName, "is empty");
    DecodedImage image;
    if (LooksLikeDds(data)) {
        found = D3DXIFF_DDS;
        image = DecodeDds(data, fileName);
    } else if (LooksLikePng(data)) {
        found = D3DXIFF_PNG;
        image = writable != nullptr ? DecodePngInPlace({writable, data.size()}, fileName)
                                    : DecodePng(data, fileName);
    } else if (LooksLikeJpeg(data)) {
        found = D3DXIFF_JPG;
        image = DecodeJpeg(data, fileName);
    } else if (LooksLikeBmp(data)) {
        found = ending == "dib" ? D3DXIFF_DIB : D3DXIFF_BMP;
        image = DecodeBmp(data, fileName);
    } else if (HasTgaFooter(data) || ending == "tga") {
        found = D3DXIFF_TGA;
        image = DecodeTga(data, fileName);
    } else if (ending == "dib" && LooksLikePackedDib(data)) {
        found = D3DXIFF_DIB;
        image = DecodePackedDib(data, fileName);
    } else if (HasImageFileEnding(fileName)) {
        ThrowBadImage(
            fileName,
            "is not a supported image: its contents do not match its ending \"." + ending + "\"");
    } else {
        ThrowBadImage(fileName,
                      "is not a supported image (BMP, DIB, DDS, JPG, PNG or TGA expected)");
    }
    if (type != nullptr) *type = found;
    return image;
}

}  // namespace

DecodedImage DecodeImageFile(std::span<const std::uint8_t> data, const std::string& fileName,
                             D3DXIMAGE_FILEFORMAT* type) {
    return Decode(data, nullptr, fileName, type);
}

DecodedImage ReadImageFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT* type) {
    ByteBuffer data = ReadFileBytes(fileName);
    return Decode(data, data.data(), fileName, type);
}

}  // namespace tintora
