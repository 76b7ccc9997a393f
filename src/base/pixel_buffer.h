// Pixel buffers: the byte copies of a texture that every colour operation works on.
//
// Layout: pixel (x, y) at byte 4 x (y x width + x), bytes blue, green, red, alpha; rows top to
// bottom without padding. A buffer holds 4 x width x height bytes plus one spare byte at the end
// that holds no pixel (the byte arrays of the original ran from 0 to 4 x W x H inclusive).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "base/byte_buffer.h"

namespace tintora {

// A non-owning view of 32-bit B G R A pixels with a pitch of exactly 4 x width.
struct PixelView {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;

    std::size_t byteCount() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    }
    std::uint8_t* pixel(int x, int y) const {
        assert(x >= 0 && x < width && y >= 0 && y < height);
        return data + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)) * 4;
    }
};

// The four bytes of a pixel as one 32-bit word, and back, at any alignment. On the little-endian
// machines the editor runs on, blue is the low byte and alpha the high one.
inline std::uint32_t LoadPixel(const std::uint8_t* p) {
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}
inline void StorePixel(std::uint8_t* p, std::uint32_t value) {
    std::memcpy(p, &value, 4);
}

// An owning, move-only buffer of width x height pixels. New buffers are not cleared (large ones
// lie on huge pages: base/byte_buffer.h).
class PixelBuffer {
public:
    PixelBuffer() = default;
    PixelBuffer(int width, int height)
        : width_(width),
          height_(height),
          data_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 + 1) {
        data_[byteCount()] = 0;
    }
    PixelBuffer(PixelBuffer&&) noexcept = default;
    PixelBuffer& operator=(PixelBuffer&&) noexcept = default;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    bool empty() const { return data_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    // Bytes of pixel data (without the spare byte).
    std::size_t byteCount() const {
        return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
    }
    std::uint8_t* data() { return data_.data(); }
    const std::uint8_t* data() const { return data_.data(); }
    std::uint8_t& operator[](std::size_t i) {
        assert(i <= byteCount());
        return data_[i];
    }
    std::uint8_t operator[](std::size_t i) const {
        assert(i <= byteCount());
        return data_[i];
    }
    PixelView view() { return {data_.data(), width_, height_}; }
    // Frees the memory (the buffer becomes empty).
    void Erase() {
        ByteBuffer().swap(data_);
        width_ = 0;
        height_ = 0;
    }

private:
    int width_ = 0;
    int height_ = 0;
    ByteBuffer data_;
};

}  // namespace tintora
