// PNG and JPEG: the common kinds through our own readers (png_reader.h, jpeg_reader.h), the rest
// through Qt's image readers; writing through Qt's writers (libpng and libjpeg-turbo underneath).
// Qt Gui only: no QGuiApplication is needed for these codecs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imagefiles/image_codec.h"

namespace tintora {

// Loads Qt's image format plugins on the calling thread. A plugin belongs to the thread that first
// used it, and Qt tears the plugins down at exit, after every other thread has ended: one first
// used by a worker thread then touches that thread's freed state and corrupts the heap. Programs
// that decode on worker threads call this on the main thread before starting them.
void LoadImagePlugins();

bool LooksLikePng(std::span<const std::uint8_t> data);
bool LooksLikeJpeg(std::span<const std::uint8_t> data);

// Reads a PNG (every colour type and depth: palette, grey, 16 bits, alpha) or a JPEG file into
// A8R8G8B8. 16-bit channels are rounded to 8 bits. The size in the header (PNG's IHDR chunk,
// JPEG's frame header, read here) is checked against the device's limit before Qt decodes, and
// so is every PNG chunk's length against the bytes the file holds (libpng allocates a chunk's
// declared length before reading it). A JPEG file that stops before its end marker, or a PNG that
// fails without its end chunk or has a chunk running past its end, is reported as truncated
// (libjpeg would fill the missing part with grey and call it a success).
DecodedImage DecodePng(std::span<const std::uint8_t> data, const std::string& fileName);
DecodedImage DecodeJpeg(std::span<const std::uint8_t> data, const std::string& fileName);
// DecodePng on file contents that may be rearranged in the decoding (DecodeCommonPngInPlace).
DecodedImage DecodePngInPlace(std::span<std::uint8_t> data, const std::string& fileName);

// The same with Qt's reader for every file (the same checks first): the reference that our own
// readers give the bytes of, for the tests and benchmarks that compare them.
DecodedImage DecodePngWithQt(std::span<const std::uint8_t> data, const std::string& fileName);
DecodedImage DecodeJpegWithQt(std::span<const std::uint8_t> data, const std::string& fileName);

// Encodes width x height A8R8G8B8 pixels (rows pitch bytes apart) as an 8-bit RGBA PNG, or as a
// JPEG of the given quality (1..100) without alpha.
ByteBuffer EncodePng(const std::uint8_t* argb, int pitch, int width, int height);
ByteBuffer EncodeJpeg(const std::uint8_t* argb, int pitch, int width, int height, int quality);

}  // namespace tintora
