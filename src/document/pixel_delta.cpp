#include "document/pixel_delta.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "base/error.h"
#include "base/pixel_buffer.h"

namespace tintora {

namespace {

constexpr std::size_t kBandPixels = 64 * 1024;
// zstd's fastest regular level: the deltas are mostly long runs of zeros and small values, which
// its entropy stage packs well; higher levels cost time on every step for little gain.
constexpr int kCompressionLevel = 1;

struct Compressor {
    Compressor() : context(ZSTD_createCCtx()) {}
    ~Compressor() { ZSTD_freeCCtx(context); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    ZSTD_CCtx* context;
    std::vector<std::uint8_t> planes;
    std::vector<std::uint8_t> packed;
};

struct Decompressor {
    Decompressor() : context(ZSTD_createDCtx()) {}
    ~Decompressor() { ZSTD_freeDCtx(context); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ZSTD_DCtx* context;
    std::vector<std::uint8_t> planes;
};

// Band flag: the planes hold after - before (modulo 256) instead of after XOR before.
constexpr std::uint8_t kDifferenceMode = 0x10;

int PlaneCount(std::uint8_t planes) {
    int count = 0;
    for (int c = 0; c < 4; ++c) count += (planes >> c) & 1;
    return count;
}

// Bits per byte that an entropy coder needs for values with these counts (of total), estimated by
// the collision entropy -log2(sum p^2), which needs one logarithm per histogram.
double CollisionBits(const std::array<std::uint32_t, 256>& counts, std::uint32_t total) {
    double sum = 0;
    for (const std::uint32_t count : counts) sum += static_cast<double>(count) * count;
    return -std::log2(sum / (static_cast<double>(total) * total));
}

// Whether the changed channels pack smaller as differences than as XOR: a tone curve (contrast,
// equalize) shifts neighbouring values by similar amounts, which XOR scatters over many bit
// patterns; inverting flips the same bits everywhere, which differences scatter. Judged on every
// fourth pixel.
bool DifferencePacksBetter(const std::uint8_t* before, const std::uint8_t* after, std::size_t n,
                           const std::array<int, 4>& channels, std::size_t kept) {
    double xorBits = 0;
    double differenceBits = 0;
    for (std::size_t k = 0; k < kept; ++k) {
        std::array<std::uint32_t, 256> xors{};
        std::array<std::uint32_t, 256> differences{};
        const std::uint8_t* a = before + channels[k];
        const std::uint8_t* z = after + channels[k];
        std::uint32_t samples = 0;
        for (std::size_t i = 0; i < n; i += 4, ++samples) {
            ++xors[static_cast<std::uint8_t>(z[4 * i] ^ a[4 * i])];
            ++differences[static_cast<std::uint8_t>(z[4 * i] - a[4 * i])];
        }
        xorBits += CollisionBits(xors, samples);
        differenceBits += CollisionBits(differences, samples);
    }
    return differenceBits < xorBits;
}

}  // namespace

PixelDelta PixelDelta::Between(const std::uint8_t* before, const std::uint8_t* after, int width,
                               int height) {
    PixelDelta delta;
    delta.width_ = width;
    delta.height_ = height;
    if (width <= 0 || height <= 0) return delta;
    delta.bandRows_ = static_cast<int>(
        std::max<std::size_t>(1, kBandPixels / static_cast<std::size_t>(width)));
    const int bandCount = (height + delta.bandRows_ - 1) / delta.bandRows_;
    delta.bands_.resize(static_cast<std::size_t>(bandCount));

    tbb::enumerable_thread_specific<Compressor> compressors;
    tbb::parallel_for(0, bandCount, [&](int b) {
        const int firstRow = b * delta.bandRows_;
        const int rows = std::min(delta.bandRows_, height - firstRow);
        const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(width);
        const std::size_t offset = static_cast<std::size_t>(firstRow) *
                                   static_cast<std::size_t>(width) * 4;
        Compressor& work = compressors.local();
        if (work.context == nullptr) throw std::bad_alloc();
        work.planes.resize(4 * n);
        const std::uint8_t* x = before + offset;
        const std::uint8_t* y = after + offset;
        std::uint32_t any = 0;
        for (std::size_t i = 0; i < n; ++i) any |= LoadPixel(x + 4 * i) ^ LoadPixel(y + 4 * i);
        if (any == 0) return;
        std::uint8_t planes = 0;
        std::size_t kept = 0;
        std::array<int, 4> channels{};
        for (int c = 0; c < 4; ++c) {
            if (((any >> (8 * c)) & 0xFF) == 0) continue;
            planes = static_cast<std::uint8_t>(planes | (1 << c));
            channels[kept++] = c;
        }
        const bool difference = DifferencePacksBetter(x, y, n, channels, kept);
        if (difference) planes = static_cast<std::uint8_t>(planes | kDifferenceMode);
        for (std::size_t k = 0; k < kept; ++k) {
            std::uint8_t* plane = work.planes.data() + k * n;
            const std::uint8_t* a = x + channels[k];
            const std::uint8_t* z = y + channels[k];
            if (difference) {
                for (std::size_t i = 0; i < n; ++i)
                    plane[i] = static_cast<std::uint8_t>(z[4 * i] - a[4 * i]);
            } else {
                for (std::size_t i = 0; i < n; ++i)
                    plane[i] = static_cast<std::uint8_t>(z[4 * i] ^ a[4 * i]);
            }
        }
        std::uint8_t* p0 = work.planes.data();
        work.packed.resize(ZSTD_compressBound(kept * n));
        const std::size_t size = ZSTD_compressCCtx(work.context, work.packed.data(),
                                                   work.packed.size(), p0, kept * n,
                                                   kCompressionLevel);
        if (ZSTD_isError(size) != 0U) throw std::bad_alloc();
        Band& band = delta.bands_[static_cast<std::size_t>(b)];
        band.data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        std::memcpy(band.data.get(), work.packed.data(), size);
        band.size = size;
        band.planes = planes;
    });

    delta.bytes_ = sizeof(PixelDelta) + delta.bands_.capacity() * sizeof(Band);
    for (const Band& band : delta.bands_) {
        if (band.planes == 0) continue;
        ++delta.storedBands_;
        delta.bytes_ += band.size;
    }
    return delta;
}

void PixelDelta::ApplyTo(std::uint8_t* pixels, Direction direction) const {
    if (storedBands_ == 0) return;
    const int bandCount = static_cast<int>(bands_.size());
    tbb::enumerable_thread_specific<Decompressor> decompressors;
    tbb::parallel_for(0, bandCount, [&](int b) {
        const Band& band = bands_[static_cast<std::size_t>(b)];
        if ((band.planes & 0x0F) == 0) return;
        const int firstRow = b * bandRows_;
        const int rows = std::min(bandRows_, height_ - firstRow);
        const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(width_);
        Decompressor& work = decompressors.local();
        if (work.context == nullptr) throw std::bad_alloc();
        work.planes.resize(4 * n);
        std::uint8_t* p0 = work.planes.data();
        const std::size_t kept = static_cast<std::size_t>(PlaneCount(band.planes));
        const std::size_t size =
            ZSTD_decompressDCtx(work.context, p0, kept * n, band.data.get(), band.size);
        Require(ZSTD_isError(size) == 0U && size == kept * n, kErrOutOfMemory,
                "Cannot read back the undo history of this texture");
        // Spread the stored planes to their channel's place (from the last, so nothing is
        // overwritten before it moves), and zero the planes of unchanged channels.
        std::size_t source = kept;
        for (int c = 3; c >= 0; --c) {
            std::uint8_t* target = p0 + static_cast<std::size_t>(c) * n;
            if (((band.planes >> c) & 1) != 0) {
                --source;
                if (source != static_cast<std::size_t>(c)) std::memmove(target, p0 + source * n, n);
            } else {
                std::memset(target, 0, n);
            }
        }
        const bool difference = (band.planes & kDifferenceMode) != 0;
        // Undoing a difference subtracts it: add its negation.
        if (difference && direction == Direction::Undo) {
            for (std::size_t i = 0; i < 4 * n; ++i) p0[i] = static_cast<std::uint8_t>(-p0[i]);
        }
        const std::uint8_t* p1 = p0 + n;
        const std::uint8_t* p2 = p1 + n;
        const std::uint8_t* p3 = p2 + n;
        std::uint8_t* out = pixels + static_cast<std::size_t>(firstRow) *
                                         static_cast<std::size_t>(width_) * 4;
        constexpr std::uint32_t kHigh = 0x80808080U;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t d = static_cast<std::uint32_t>(p0[i]) |
                                    (static_cast<std::uint32_t>(p1[i]) << 8) |
                                    (static_cast<std::uint32_t>(p2[i]) << 16) |
                                    (static_cast<std::uint32_t>(p3[i]) << 24);
            const std::uint32_t v = LoadPixel(out + 4 * i);
            // Byte-wise addition without carries between the bytes.
            const std::uint32_t sum = ((v & ~kHigh) + (d & ~kHigh)) ^ ((v ^ d) & kHigh);
            StorePixel(out + 4 * i, difference ? sum : v ^ d);
        }
    });
}

}  // namespace tintora
