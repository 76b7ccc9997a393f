#include "imagefiles/jpeg_reader.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <exception>

#include <jpeglib.h>

namespace tintora {
namespace {

// libjpeg reports errors through error_exit, which must not return: it jumps back to Decode.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->back, 1);
}

void KeepQuiet(j_common_ptr) {}

// What the header says, for the allocation between the two halves of the read.
struct Header {
    int width = 0;
    int height = 0;
};

// The library's part, with no C++ objects of its own (a longjmp skips their destructors):
// reads the header, asks size() for the rows' memory (null: give up), decodes into it.
// False when the file is not of the common kinds or the library reported anything.
template <typename Size>
bool Decode(std::span<const std::uint8_t> data, const Size& size) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpBack;
    errors.base.output_message = KeepQuiet;
    if (setjmp(errors.back) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    const bool common = (info.jpeg_color_space == JCS_YCbCr && info.num_components == 3) ||
                        (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1);
    std::uint8_t* rows = nullptr;
    if (common && errors.base.num_warnings == 0) {
        info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        rows = size(Header{static_cast<int>(info.output_width),
                           static_cast<int>(info.output_height)});
    }
    if (rows == nullptr) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const std::size_t rowBytes = std::size_t{info.output_width} * 4;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows + info.output_scanline * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    const bool clean = errors.base.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return clean;
}

}  // namespace

std::optional<DecodedImage> DecodeCommonJpeg(std::span<const std::uint8_t> data,
                                             const std::string& fileName) {
    DecodedImage image;
    image.format = D3DFMT_A8R8G8B8;
    image.fileFormat = D3DFMT_A8R8G8B8;
    std::exception_ptr failure;
    const auto allocate = [&](const Header& header) -> std::uint8_t* {
        if (header.width < 1 || header.height < 1 || header.width > kMaxTextureSize ||
            header.height > kMaxTextureSize) {
            return nullptr;
        }
        image.width = header.width;
        image.height = header.height;
        try {
            image.bytes = AllocatePixels(fileName, static_cast<std::size_t>(header.width) *
                                                       static_cast<std::size_t>(header.height) * 4);
        } catch (...) {
            failure = std::current_exception();
            return nullptr;
        }
        return image.bytes.data();
    };
    const bool read = Decode(data, allocate);
    if (failure) std::rethrow_exception(failure);
    if (!read) return std::nullopt;
    return image;
}

}  // namespace tintora
