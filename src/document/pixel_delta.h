// The change one step made to a texture's pixels, stored compactly.
//
// A delta turns after back into before (undo) and before into after (redo), exactly to the byte.
// The pixels are cut into bands of rows
// (about 64 K pixels each). A band where nothing changed stores nothing; any other band stores
// only the channels that changed there, each as a plane (all its blue bytes, then all green, ...),
// compressed with zstd. A band stores either after XOR before or after - before (modulo 256),
// whichever its bytes suggest packs smaller. Steps that touch one channel (an alpha layer) or change every pixel the
// same way (invert) cost almost nothing; a colour adjustment of a photograph costs a fraction of
// its pixels. Bands are made and applied in parallel, so the result does not depend on the number
// of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tintora {

class PixelDelta {
  public:
    PixelDelta() = default;

    // The delta between before and after, both width x height pixels of 4 bytes without row
    // padding. Throws std::bad_alloc when memory runs out.
    static PixelDelta Between(const std::uint8_t* before, const std::uint8_t* after, int width,
                              int height);

    enum class Direction { Undo, Redo };
    // Applies the delta to pixels (the same size as the delta was made for): Undo turns after into
    // before, Redo before into after. Throws PlatformError when a band cannot be read back.
    void ApplyTo(std::uint8_t* pixels, Direction direction) const;

    // True when before and after were the same bytes.
    bool unchanged() const { return storedBands_ == 0; }
    // The memory the delta holds.
    std::size_t bytes() const { return bytes_; }
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    struct Band {
        // Bit c set: channel c (0 blue .. 3 alpha) changed and is stored; 0x10: differences.
        std::uint8_t planes = 0;
        std::size_t size = 0;     // compressed bytes
        std::unique_ptr<std::uint8_t[]> data;
    };

    int width_ = 0;
    int height_ = 0;
    int bandRows_ = 1;
    std::size_t storedBands_ = 0;
    std::size_t bytes_ = 0;
    std::vector<Band> bands_;
};

}  // namespace tintora
