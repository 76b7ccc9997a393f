// PNG layout, as far as this reader goes (numbers big-endian): the 8-byte signature, then chunks
// of a 32-bit length, a 4-letter type, the data and a CRC-32 of type and data. IHDR comes first
// (width, height, bit depth, colour type, compression, filter and interlace methods), the IDAT
// chunks follow one another, IEND ends the file. The IDAT data, joined, is one zlib stream of the
// rows, each a filter number (0 none, 1 sub, 2 up, 3 average, 4 Paeth) and the row's bytes, each
// byte stored as its difference from a prediction out of its neighbours already decoded: the
// same channel of the pixel to the left (a), of the pixel above (b) and of the one above-left (c).
//
// The filters work channel by channel, so the rows are unfiltered where they end up: each stored
// pixel is first laid out as B G R A (grey in all three colour bytes), then the prediction is
// added from the neighbours in the output, four bytes at once. Files without alpha get their
// alpha byte set to 255 after each pixel, which no other byte depends on.
#include "imagefiles/png_reader.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tintora {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Deflate data grows by at most this factor when inflated (a 258-byte match in every 2 bits).
constexpr std::size_t kMostInflation = 1032;

std::uint32_t LoadBe32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Store32(std::uint8_t* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
}

bool IsType(const std::uint8_t* type, const char* name) {
    return std::memcmp(type, name, 4) == 0;
}

// Each of the four bytes of x plus the same byte of y, modulo 256.
std::uint32_t AddBytes(std::uint32_t x, std::uint32_t y) {
    return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}

#if !defined(__SSE2__)
// Each byte's floor((a + b) / 2).
std::uint32_t AverageBytes(std::uint32_t a, std::uint32_t b) {
    return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

// Each byte's Paeth predictor: of a, b and c the one nearest to a + b - c, ties to a, then b.
std::uint32_t PaethBytes(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF);
        const int y = static_cast<int>((b >> shift) & 0xFF);
        const int z = static_cast<int>((c >> shift) & 0xFF);
        const int pa = std::abs(y - z), pb = std::abs(x - z), pc = std::abs(x + y - 2 * z);
        const int pick = pa <= pb && pa <= pc ? x : pb <= pc ? y : z;
        out |= static_cast<std::uint32_t>(pick) << shift;
    }
    return out;
}
#endif

// A stored pixel of kChannels bytes (grey, grey and alpha, R G B, R G B A) as the A8R8G8B8 word
// of its bytes; alpha 0 where the file has none.
template <int kChannels>
std::uint32_t LaidOut(const std::uint8_t* p) {
    if constexpr (kChannels == 4) {
        const std::uint32_t v = Load32(p);
        return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    } else if constexpr (kChannels == 3) {
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    } else if constexpr (kChannels == 2) {
        return (std::uint32_t{p[1]} << 24) | (std::uint32_t{p[0]} * 0x010101u);
    } else {
        return std::uint32_t{p[0]} * 0x010101u;
    }
}

#if defined(__SSE2__)
// The filters on pixels held in the low four bytes of SSE2 registers: the chain from each pixel
// to the next (the left neighbour) stays in vector registers, a few operations long.

__m128i Load32Vec(const std::uint8_t* p) {
    return _mm_cvtsi32_si128(static_cast<int>(Load32(p)));
}

void Store32Vec(std::uint8_t* p, __m128i v) {
    Store32(p, static_cast<std::uint32_t>(_mm_cvtsi128_si32(v)));
}

// Each byte's floor((a + b) / 2): the rounded-up average less the lost half.
__m128i AverageVec(__m128i a, __m128i b) {
    const __m128i ones = _mm_set1_epi8(1);
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), ones));
}

// PaethBytes on registers.
__m128i PaethVec(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wa = _mm_unpacklo_epi8(a, zero);
    const __m128i wb = _mm_unpacklo_epi8(b, zero);
    const __m128i wc = _mm_unpacklo_epi8(c, zero);
    const __m128i bc = _mm_sub_epi16(wb, wc);
    const __m128i ac = _mm_sub_epi16(wa, wc);
    const __m128i both = _mm_add_epi16(bc, ac);
    const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
    const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
    const __m128i pc = _mm_max_epi16(both, _mm_sub_epi16(zero, both));
    const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    const __m128i takeA = _mm_cmpeq_epi16(least, pa);
    const __m128i takeB = _mm_cmpeq_epi16(least, pb);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(takeB, wb), _mm_andnot_si128(takeB, wc));
    const __m128i pick = _mm_or_si128(_mm_and_si128(takeA, wa), _mm_andnot_si128(takeA, bOrC));
    return _mm_packus_epi16(pick, pick);
}
#endif

// Unfilters one row of width pixels from in (stored bytes) into out (A8R8G8B8), above being the
// row decoded before (zeros for the first). in may lie inside out a little further on: every
// pixel is read before its place is written. False for an unknown filter number.
template <int kChannels>
bool UnfilterRow(int filter, const std::uint8_t* in, const std::uint8_t* above, std::uint8_t* out,
                 std::size_t width) {
    constexpr std::uint32_t opaque = kChannels % 2 == 1 ? 0xFF000000u : 0u;
    switch (filter) {
        case 0:
            for (std::size_t x = 0; x < width; ++x)
                Store32(out + 4 * x, LaidOut<kChannels>(in + kChannels * x) | opaque);
            return true;
        case 2:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = LaidOut<kChannels>(in + kChannels * x);
                Store32(out + 4 * x, AddBytes(pixel, Load32(above + 4 * x)) | opaque);
            }
            return true;
        default:
            break;
    }
#if defined(__SSE2__)
    const __m128i opaqueVec = _mm_cvtsi32_si128(static_cast<int>(opaque));
    __m128i left = _mm_setzero_si128();
    __m128i upLeft = _mm_setzero_si128();
    const auto pixelAt = [in](std::size_t x) {
        return _mm_cvtsi32_si128(static_cast<int>(LaidOut<kChannels>(in + kChannels * x)));
    };
    switch (filter) {
        case 1:
            for (std::size_t x = 0; x < width; ++x) {
                left = _mm_or_si128(_mm_add_epi8(pixelAt(x), left), opaqueVec);
                Store32Vec(out + 4 * x, left);
            }
            return true;
        case 3:
            for (std::size_t x = 0; x < width; ++x) {
                const __m128i prediction = AverageVec(left, Load32Vec(above + 4 * x));
                left = _mm_or_si128(_mm_add_epi8(pixelAt(x), prediction), opaqueVec);
                Store32Vec(out + 4 * x, left);
            }
            return true;
        case 4:
            for (std::size_t x = 0; x < width; ++x) {
                const __m128i up = Load32Vec(above + 4 * x);
                left =
                    _mm_or_si128(_mm_add_epi8(pixelAt(x), PaethVec(left, up, upLeft)), opaqueVec);
                upLeft = up;
                Store32Vec(out + 4 * x, left);
            }
            return true;
        default:
            return false;
    }
#else
    std::uint32_t left = 0;
    std::uint32_t upLeft = 0;
    switch (filter) {
        case 1:
            for (std::size_t x = 0; x < width; ++x) {
                left = AddBytes(LaidOut<kChannels>(in + kChannels * x), left) | opaque;
                Store32(out + 4 * x, left);
            }
            return true;
        case 3:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = LaidOut<kChannels>(in + kChannels * x);
                left = AddBytes(pixel, AverageBytes(left, Load32(above + 4 * x))) | opaque;
                Store32(out + 4 * x, left);
            }
            return true;
        case 4:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = LaidOut<kChannels>(in + kChannels * x);
                const std::uint32_t up = Load32(above + 4 * x);
                left = AddBytes(pixel, PaethBytes(left, up, upLeft)) | opaque;
                upLeft = up;
                Store32(out + 4 * x, left);
            }
            return true;
        default:
            return false;
    }
#endif
}

// Unfilters every row of raw (inflated image data) into out; raw may be out itself (see
// UnfilterRow). False for an unknown filter number.
template <int kChannels>
bool UnfilterImage(const std::uint8_t* raw, std::uint8_t* out, std::size_t width,
                   std::size_t height) {
    const std::size_t stride = width * kChannels + 1;
    const std::vector<std::uint8_t> zeros(width * 4, 0);
    const std::uint8_t* above = zeros.data();
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = raw + y * stride;
        std::uint8_t* target = out + y * width * 4;
        if (!UnfilterRow<kChannels>(row[0], row + 1, above, target, width)) return false;
        above = target;
    }
    return true;
}

bool UnfilterAll(int channels, const std::uint8_t* raw, std::uint8_t* out, std::size_t width,
                 std::size_t height) {
    switch (channels) {
        case 1:
            return UnfilterImage<1>(raw, out, width, height);
        case 2:
            return UnfilterImage<2>(raw, out, width, height);
        case 3:
            return UnfilterImage<3>(raw, out, width, height);
        default:
            return UnfilterImage<4>(raw, out, width, height);
    }
}

struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// The IDAT pieces (consecutive chunks) moved down over the 12 bytes of CRC and chunk header
// between each two, so that they form one run of data after the first piece's start; put back
// with Restore, for Qt's reader, when the image turns out damaged.
class JoinedInPlace {
  public:
    JoinedInPlace(std::uint8_t* file, const std::uint8_t* fileStart,
                  const std::vector<std::span<const std::uint8_t>>& pieces)
        : pieces_(pieces) {
        offset_ = static_cast<std::size_t>(pieces.front().data() - fileStart);
        start_ = file + offset_;
        gaps_.resize((pieces.size() - 1) * kGap);
        std::uint8_t* at = start_ + pieces.front().size();
        for (std::size_t k = 1; k < pieces.size(); ++k) {
            const std::uint8_t* home = start_ + (pieces[k].data() - pieces.front().data());
            std::memcpy(gaps_.data() + (k - 1) * kGap, home - kGap, kGap);
            std::memmove(at, home, pieces[k].size());
            at += pieces[k].size();
        }
        size_ = static_cast<std::size_t>(at - start_);
    }

    std::span<const std::uint8_t> data() const { return {start_, size_}; }

    void Restore() {
        std::size_t at = size_;
        for (std::size_t k = pieces_.size() - 1; k >= 1; --k) {
            at -= pieces_[k].size();
            std::uint8_t* home = start_ + (pieces_[k].data() - pieces_.front().data());
            std::memmove(home, start_ + at, pieces_[k].size());
            std::memcpy(home - kGap, gaps_.data() + (k - 1) * kGap, kGap);
        }
    }

  private:
    static constexpr std::size_t kGap = 12;  // a CRC, then the next chunk's length and type
    const std::vector<std::span<const std::uint8_t>>& pieces_;
    std::size_t offset_ = 0;
    std::uint8_t* start_ = nullptr;
    std::size_t size_ = 0;
    std::vector<std::uint8_t> gaps_;
};

// DecodeCommonPng; writable, when not null, is data's own memory, in which the IDAT chunks are
// then joined instead of in a copy of their data.
std::optional<DecodedImage> Decode(std::span<const std::uint8_t> data, std::uint8_t* writable,
                                   const std::string& fileName) {
    if (data.size() < sizeof kSignature ||
        std::memcmp(data.data(), kSignature, sizeof kSignature) != 0) {
        return std::nullopt;
    }
    // The chunks: every critical one whole and intact, IDAT chunks in one run, no tRNS or sBIT
    // (which Qt's reader turns into alpha or shifted channels).
    std::int64_t width = 0, height = 0;
    int channels = 0;
    std::vector<std::span<const std::uint8_t>> idat;
    bool idatEnded = false;
    std::size_t pos = sizeof kSignature;
    for (bool first = true;; first = false) {
        if (data.size() - pos < 12) return std::nullopt;
        const std::uint32_t length = LoadBe32(data.data() + pos);
        if (length > data.size() - pos - 12) return std::nullopt;
        const std::uint8_t* type = data.data() + pos + 4;
        const std::uint8_t* body = type + 4;
        const bool critical = (type[0] & 0x20) == 0;
        if (critical && libdeflate_crc32(0, type, length + 4) != LoadBe32(body + length)) {
            return std::nullopt;
        }
        pos += std::size_t{length} + 12;
        if (first) {
            if (!IsType(type, "IHDR") || length != 13) return std::nullopt;
            width = LoadBe32(body);
            height = LoadBe32(body + 4);
            const int depth = body[8], colourType = body[9];
            channels = colourType == 0 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4;
            const bool common = depth == 8 && (colourType == 0 || colourType == 2 ||
                                               colourType == 4 || colourType == 6);
            if (!common || body[10] != 0 || body[11] != 0 || body[12] != 0) return std::nullopt;
            if (width < 1 || height < 1 || width > kMaxTextureSize || height > kMaxTextureSize) {
                return std::nullopt;
            }
        } else if (IsType(type, "IDAT")) {
            if (idatEnded) return std::nullopt;
            idat.push_back({body, length});
        } else if (IsType(type, "IEND")) {
            break;
        } else {
            idatEnded = !idat.empty();
            if (critical || IsType(type, "tRNS") || IsType(type, "sBIT")) return std::nullopt;
        }
    }
    if (idat.empty()) return std::nullopt;
    ByteBuffer joined;
    std::optional<JoinedInPlace> joinedInPlace;
    std::span<const std::uint8_t> compressed = idat.front();
    if (idat.size() > 1 && writable != nullptr) {
        joinedInPlace.emplace(writable, data.data(), idat);
        compressed = joinedInPlace->data();
    } else if (idat.size() > 1) {
        std::size_t total = 0;
        for (const auto& piece : idat)
            total += piece.size();
        joined = AllocatePixels(fileName, total);
        std::size_t at = 0;
        for (const auto& piece : idat) {
            std::memcpy(joined.data() + at, piece.data(), piece.size());
            at += piece.size();
        }
        compressed = joined;
    }
    // From here a damaged file leaves the data as it came, for Qt's reader.
    const auto damaged = [&]() -> std::optional<DecodedImage> {
        if (joinedInPlace) joinedInPlace->Restore();
        return std::nullopt;
    };

    // The rows are inflated into the end of the image's own buffer and unfiltered from there to
    // its start: with the stored data at offset h * ((4 - channels) * w - 1) (0 for RGBA, whose
    // stored rows are longer), every pixel is read before the output reaches its place.
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const std::size_t rawBytes = h * (w * static_cast<std::size_t>(channels) + 1);
    const std::size_t imageBytes = w * h * 4;
    // Data too short to hold the image is not worth an allocation of the image's size.
    if (rawBytes / kMostInflation > compressed.size()) return damaged();
    DecodedImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.format = D3DFMT_A8R8G8B8;
    image.fileFormat = D3DFMT_A8R8G8B8;
    image.bytes = AllocatePixels(fileName, std::max(rawBytes, imageBytes));
    std::uint8_t* raw = image.bytes.data() + (image.bytes.size() - rawBytes);
    const std::unique_ptr<libdeflate_decompressor, FreeDecompressor> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater) return damaged();
    std::size_t used = 0;
    if (libdeflate_zlib_decompress_ex(inflater.get(), compressed.data(), compressed.size(), raw,
                                      rawBytes, &used, nullptr) != LIBDEFLATE_SUCCESS ||
        used != compressed.size()) {
        return damaged();
    }
    joined = {};
    if (!UnfilterAll(channels, raw, image.bytes.data(), w, h)) return damaged();
    image.bytes.resize(imageBytes);
    return image;
}

}  // namespace

std::optional<DecodedImage> DecodeCommonPng(std::span<const std::uint8_t> data,
                                            const std::string& fileName) {
    return Decode(data, nullptr, fileName);
}

std::optional<DecodedImage> DecodeCommonPngInPlace(std::span<std::uint8_t> data,
                                                   const std::string& fileName) {
    return Decode(data, data.data(), fileName);
}

}  // namespace tintora
