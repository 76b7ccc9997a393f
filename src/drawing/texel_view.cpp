#include "drawing/texel_view.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <tuple>
#include <utility>

namespace tintora {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kLanes = 0x00FF00FFu;  // blue and red of 0xAARRGGBB, or green and alpha
constexpr std::size_t kStepOne = 3;            // kZoomSteps[kStepOne] == 1

// The step of kZoomSteps nearest to zoom (by ratio); 1 for a zoom that is no positive number.
std::size_t StepIndex(double zoom) {
    if (!(zoom > 0.0) || !std::isfinite(zoom)) return kStepOne;
    std::size_t best = 0;
    for (std::size_t i = 1; i < kZoomSteps.size(); ++i) {
        if (std::abs(std::log(kZoomSteps[i] / zoom)) < std::abs(std::log(kZoomSteps[best] / zoom)))
            best = i;
    }
    return best;
}

// Reduction level and scale of a zoom step.
std::pair<int, int> LevelAndScale(double zoom) {
    const double step = kZoomSteps[StepIndex(zoom)];
    if (step < 1.0) return {static_cast<int>(std::lround(std::log2(1.0 / step))), 1};
    return {0, static_cast<int>(std::lround(step))};
}

double ZoomOf(const TexelLayout& layout) {
    return layout.level > 0 ? 1.0 / (1 << layout.level) : layout.scale;
}

int PictureSize(int size, int level, int scale) {
    if (size <= 0) return 0;
    return level > 0 ? (size + (1 << level) - 1) >> level : size * scale;
}

// value modulo size, in [0, size).
long Wrap(long value, long size) {
    const long r = value % size;
    return r < 0 ? r + size : r;
}

// A fraction that is no number counts as the middle.
double Fraction(double value) {
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.5;
}

// The Normal view's position of a picture of pictureSize in a window of windowSize: centred
// (rounded down) when it fits, else with the point centre (a fraction of the picture) at the
// window's centre, kept covering the window.
int NormalPosition(int windowSize, int pictureSize, double centre) {
    if (pictureSize <= windowSize) return (windowSize - pictureSize) / 2;
    const long at = std::lround(windowSize / 2.0 - Fraction(centre) * pictureSize);
    return static_cast<int>(std::clamp<long>(at, windowSize - pictureSize, 0));
}

// round(x / 255) for both 16-bit lanes of t = x + 0x00800080 (each x up to 255 x 255).
inline std::uint32_t Div255Lanes(std::uint32_t t) {
    return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
}

// A texel with its colours multiplied by its alpha / 255 (rounded), alpha kept.
inline std::uint32_t Premultiplied(std::uint32_t t) {
    const std::uint32_t a = t >> 24;
    const std::uint32_t blueRed = Div255Lanes((t & kLanes) * a + 0x00800080u);
    const std::uint32_t green = Div255Lanes(((t >> 8) & 0xFFu) * a + 0x80u);
    return blueRed | (green << 8) | (t & kOpaque);
}

// The rounded average of four pixels, channel by channel.
inline std::uint32_t Average4(std::uint32_t p0, std::uint32_t p1, std::uint32_t p2,
                              std::uint32_t p3) {
    const std::uint32_t low =
        (p0 & kLanes) + (p1 & kLanes) + (p2 & kLanes) + (p3 & kLanes) + 0x00020002u;
    const std::uint32_t high = ((p0 >> 8) & kLanes) + ((p1 >> 8) & kLanes) + ((p2 >> 8) & kLanes) +
                               ((p3 >> 8) & kLanes) + 0x00020002u;
    return ((low >> 2) & kLanes) | (((high >> 2) & kLanes) << 8);
}

// The 2 x 2 block average of a straight-alpha source: premultiplied first, unless all four are
// opaque (most texels), whose colours average as they are.
inline std::uint32_t AverageStraight4(std::uint32_t p0, std::uint32_t p1, std::uint32_t p2,
                                      std::uint32_t p3) {
    if ((p0 & p1 & p2 & p3) >= kOpaque) return Average4(p0, p1, p2, p3);
    return Average4(Premultiplied(p0), Premultiplied(p1), Premultiplied(p2), Premultiplied(p3));
}

// Halves a width x height image into ceil(width / 2) x ceil(height / 2): each pixel the average
// of its 2 x 2 block; a block cut by the right or bottom edge repeats the texels it holds, which
// averages them alone. A straight source is premultiplied first.
template <bool Straight>
void Halve(const std::uint32_t* source, int width, int height, std::vector<std::uint32_t>& out) {
    const int w = (width + 1) / 2;
    const int h = (height + 1) / 2;
    out.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const auto average = [](std::uint32_t p0, std::uint32_t p1, std::uint32_t p2,
                            std::uint32_t p3) {
        return Straight ? AverageStraight4(p0, p1, p2, p3) : Average4(p0, p1, p2, p3);
    };
    tbb::parallel_for(tbb::blocked_range<int>(0, h, 16), [&](const tbb::blocked_range<int>& rows) {
        for (int y = rows.begin(); y < rows.end(); ++y) {
            const std::uint32_t* r0 = source + static_cast<std::size_t>(2 * y) * width;
            const std::uint32_t* r1 = 2 * y + 1 < height ? r0 + width : r0;
            std::uint32_t* row = out.data() + static_cast<std::size_t>(y) * w;
            const int whole = width / 2;  // blocks of two columns
            for (int x = 0; x < whole; ++x)
                row[x] = average(r0[2 * x], r0[2 * x + 1], r1[2 * x], r1[2 * x + 1]);
            if (whole < w)
                row[whole] = average(r0[2 * whole], r0[2 * whole], r1[2 * whole], r1[2 * whole]);
        }
    });
}

// d's reduced copy of texture at level (from 1), made now for a texture other than the one it
// was made from or changed since (in the room the last one left when the size is the same).
const std::uint32_t* ReducedLevel(TextureDocument& d, const std::shared_ptr<Texture>& texture,
                                  int level) {
    ReducedTexture& reduced = d.Reduced;
    const std::uint64_t version = texture->GetSurfaceLevel(0)->version();
    if (reduced.Source.lock() != texture || reduced.Version != version) {
        if (reduced.Width != texture->width() || reduced.Height != texture->height())
            reduced = ReducedTexture{};
        reduced.Source = texture;
        reduced.Version = version;
        reduced.Width = texture->width();
        reduced.Height = texture->height();
        reduced.Current = 0;
    }
    for (std::size_t k = reduced.Current; k < static_cast<std::size_t>(level); ++k) {
        if (reduced.Levels.size() == k) reduced.Levels.emplace_back();
        // Level k + 1 from level k (the texels themselves for k = 0).
        const int width = PictureSize(texture->width(), static_cast<int>(k), 1);
        const int height = PictureSize(texture->height(), static_cast<int>(k), 1);
        if (k == 0) {
            Halve<true>(texture->SampleTexels(), width, height, reduced.Levels[0]);
        } else {
            Halve<false>(reduced.Levels[k - 1].data(), width, height, reduced.Levels[k]);
        }
        reduced.Current = k + 1;
    }
    return reduced.Levels[static_cast<std::size_t>(level) - 1].data();
}

// Half-way between the pixel and black or white, whichever lies farther: a grid line that shows
// on any colour.
inline std::uint32_t GridColour(std::uint32_t c) {
    const std::uint32_t sum = (c & 0xFFu) + ((c >> 8) & 0xFFu) + ((c >> 16) & 0xFFu);
    const std::uint32_t half = (c >> 1) & 0x007F7F7Fu;
    return (sum >= 384 ? half : half + 0x00808080u) | kOpaque;
}

// A colour as an R5G6B5 target stores it, as the device quantises (32-bit storage).
inline std::uint32_t Quantised565(std::uint32_t c) {
    const auto channel = [c](int shift, int bits) {
        const int max = (1 << bits) - 1;
        const int q = (static_cast<int>((c >> shift) & 0xFFu) * max + 127) / 255;
        return static_cast<std::uint32_t>((q << (8 - bits)) | (q >> (2 * bits - 8))) << shift;
    };
    return channel(0, 5) | channel(8, 6) | channel(16, 5) | (c & kOpaque);
}

// Draws rows of a texel view: the source (texels or a reduced copy) scaled by the layout.
class TexelPainter {
  public:
    TexelPainter(const std::uint32_t* pixels, int pixelsWidth, bool premultiplied,
                 const TexelLayout& layout, const TexelViewStyle& style, int targetWidth)
        : pixels_(pixels),
          pixelsWidth_(pixelsWidth),
          premultiplied_(premultiplied),
          layout_(layout),
          style_(style),
          targetWidth_(targetWidth),
          grid_(style.grid && layout.scale >= kGridZoom) {}

    void Row(std::uint32_t* out, int y) const {
        const TexelLayout& l = layout_;
        long py = y - l.y;
        if (l.width <= 0 || pixels_ == nullptr) {
            std::fill_n(out, targetWidth_, style_.background);
            return;
        }
        if (l.tiled) {
            py = Wrap(py, l.height);
        } else if (py < 0 || py >= l.height) {
            std::fill_n(out, targetWidth_, style_.background);
            return;
        }
        const std::uint32_t* source = pixels_ + static_cast<std::size_t>(py / l.scale) *
                                                    static_cast<std::size_t>(pixelsWidth_);
        const int row = static_cast<int>(py);
        if (!l.tiled) {
            const int begin = std::clamp(l.x, 0, targetWidth_);
            const auto end =
                static_cast<int>(std::clamp<long>(long{l.x} + l.width, begin, targetWidth_));
            std::fill_n(out, begin, style_.background);
            if (end > begin) Run(out + begin, source, begin - l.x, end - begin, row);
            std::fill(out + end, out + targetWidth_, style_.background);
            return;
        }
        int px = -l.x;
        for (int x = 0; x < targetWidth_; px = 0) {
            const int count = std::min(l.width - px, targetWidth_ - x);
            Run(out + x, source, px, count, row);
            x += count;
        }
    }

  private:
    std::uint32_t Behind(int px, int py) const {
        if (!style_.checkerboard) return style_.background;
        return ((px / kCheckerSize) ^ (py / kCheckerSize)) & 1 ? kCheckerDark : kCheckerLight;
    }

    // The pixel a source pixel t gives over what lies behind picture pixel (px, py), blended as
    // the device blends (source alpha, inverse source alpha, rounded to nearest).
    std::uint32_t Shade(std::uint32_t t, int px, int py) const {
        const std::uint32_t a = t >> 24;
        if (style_.alphaOnly) return a * 0x00010101u | kOpaque;
        if (a == 255) return t;
        const std::uint32_t behind = Behind(px, py);
        const std::uint32_t ia = 255 - a;
        if (premultiplied_) {
            const std::uint32_t blueRed = Div255Lanes((behind & kLanes) * ia + 0x00800080u);
            const std::uint32_t green = Div255Lanes(((behind >> 8) & 0xFFu) * ia + 0x80u);
            return ((t & 0x00FFFFFFu) + (blueRed | (green << 8))) | kOpaque;
        }
        const std::uint32_t blueRed =
            Div255Lanes((t & kLanes) * a + (behind & kLanes) * ia + 0x00800080u);
        const std::uint32_t green =
            Div255Lanes(((t >> 8) & 0xFFu) * a + ((behind >> 8) & 0xFFu) * ia + 0x80u);
        return blueRed | (green << 8) | kOpaque;
    }

    // count pixels of picture row py from picture column px.
    void Run(std::uint32_t* out, const std::uint32_t* source, int px, int count, int py) const {
        const int scale = layout_.scale;
        if (scale == 1) {
            // Blocks of opaque texels are copied as they are.
            constexpr int kBlock = 64;
            for (int i = 0; i < count; i += kBlock) {
                const int n = std::min(kBlock, count - i);
                const std::uint32_t* t = source + px + i;
                std::uint32_t alphas = kOpaque;
                for (int k = 0; k < n; ++k)
                    alphas &= t[k];
                if (alphas == kOpaque && !style_.alphaOnly) {
                    std::memcpy(out + i, t, static_cast<std::size_t>(n) * 4);
                } else {
                    for (int k = 0; k < n; ++k)
                        out[i + k] = Shade(t[k], px + i + k, py);
                }
            }
        } else {
            int sx = px / scale;
            int left = scale - px % scale;  // pixels of texel sx still to draw
            for (int i = 0; i < count; ++sx, left = scale) {
                const int n = std::min(left, count - i);
                const std::uint32_t t = source[sx];
                if (style_.alphaOnly || !style_.checkerboard || (t >> 24) == 255) {
                    std::fill_n(out + i, n, Shade(t, px + i, py));
                } else {
                    for (int k = 0; k < n; ++k)
                        out[i + k] = Shade(t, px + i + k, py);
                }
                i += n;
            }
        }
        if (!grid_) return;
        if (py % scale == 0) {
            for (int i = 0; i < count; ++i)
                out[i] = GridColour(out[i]);
            return;
        }
        for (int i = (scale - px % scale) % scale; i < count; i += scale)
            out[i] = GridColour(out[i]);
    }

    const std::uint32_t* pixels_;
    int pixelsWidth_;
    bool premultiplied_;
    TexelLayout layout_;
    TexelViewStyle style_;
    int targetWidth_;
    bool grid_;
};

}  // namespace

bool IsTexelView(ViewMode mode) {
    return mode == ViewMode::Normal || mode == ViewMode::Tiled;
}

double ZoomStep(double zoom, int steps) {
    const long index = std::clamp<long>(static_cast<long>(StepIndex(zoom)) + steps, 0,
                                        static_cast<long>(kZoomSteps.size()) - 1);
    return kZoomSteps[static_cast<std::size_t>(index)];
}

double FitZoom(int areaWidth, int areaHeight, int width, int height) {
    for (std::size_t i = kZoomSteps.size(); i-- > 1;) {
        const auto [level, scale] = LevelAndScale(kZoomSteps[i]);
        if (PictureSize(width, level, scale) <= areaWidth &&
            PictureSize(height, level, scale) <= areaHeight)
            return kZoomSteps[i];
    }
    return kZoomSteps[0];
}

std::string ZoomText(double zoom) {
    const double percent = kZoomSteps[StepIndex(zoom)] * 100.0;
    if (percent == std::floor(percent)) return std::to_string(static_cast<int>(percent)) + "%";
    return std::to_string(static_cast<int>(percent)) + "." +
           std::to_string(static_cast<int>(std::lround(percent * 10)) % 10) + "%";
}

TexelLayout LayoutTexels(const TextureDocument& d, int width, int height) {
    TexelLayout l;
    l.tiled = d.ViewMode == ViewMode::Tiled;
    std::tie(l.level, l.scale) = LevelAndScale(d.Zoom);
    l.width = PictureSize(width, l.level, l.scale);
    l.height = PictureSize(height, l.level, l.scale);
    if (l.width <= 0 || l.height <= 0) return l;
    if (l.tiled) {
        l.x = -static_cast<int>(Wrap(std::lround(Fraction(d.TileX) * l.width), l.width));
        l.y = -static_cast<int>(Wrap(std::lround(Fraction(d.TileY) * l.height), l.height));
    } else {
        l.x = NormalPosition(d.ChainWidth, l.width, d.CentreX);
        l.y = NormalPosition(d.ChainHeight, l.height, d.CentreY);
    }
    return l;
}

std::optional<std::array<int, 2>> TexelAt(const TextureDocument& d, int width, int height, double x,
                                          double y) {
    const TexelLayout l = LayoutTexels(d, width, height);
    if (l.width <= 0 || !(x >= 0.0 && y >= 0.0 && x < d.ChainWidth && y < d.ChainHeight))
        return std::nullopt;
    const auto texel = [&l](double at, int origin, int pictureSize, int size) -> long {
        long p = static_cast<long>(std::floor(at)) - origin;
        if (l.tiled) p = Wrap(p, pictureSize);
        if (p < 0 || p >= pictureSize) return -1;
        if (l.level == 0) return p / l.scale;
        return std::min<long>((p << l.level) + (1 << l.level) / 2, size - 1);
    };
    const long tx = texel(x, l.x, l.width, width);
    const long ty = texel(y, l.y, l.height, height);
    if (tx < 0 || ty < 0) return std::nullopt;
    return std::array{static_cast<int>(tx), static_cast<int>(ty)};
}

void PlacePicture(TextureDocument& d, int width, int height, int x, int y) {
    const TexelLayout l = LayoutTexels(d, width, height);
    if (l.width <= 0 || l.height <= 0) return;
    if (l.tiled) {
        d.TileX = static_cast<double>(Wrap(-long{x}, l.width)) / l.width;
        d.TileY = static_cast<double>(Wrap(-long{y}, l.height)) / l.height;
        return;
    }
    const auto centre = [](int at, int windowSize, int pictureSize) {
        if (pictureSize <= windowSize) return 0.5;
        const int kept = std::clamp(at, windowSize - pictureSize, 0);
        return (windowSize / 2.0 - kept) / pictureSize;
    };
    d.CentreX = centre(x, d.ChainWidth, l.width);
    d.CentreY = centre(y, d.ChainHeight, l.height);
}

std::array<double, 2> TexturePoint(const TextureDocument& d, int width, int height, double x,
                                   double y) {
    const TexelLayout l = LayoutTexels(d, width, height);
    return {(x - l.x) / ZoomOf(l), (y - l.y) / ZoomOf(l)};
}

void PutTexturePoint(TextureDocument& d, int width, int height, std::array<double, 2> point,
                     double x, double y) {
    const double zoom = ZoomOf(LayoutTexels(d, width, height));
    PlacePicture(d, width, height, static_cast<int>(std::lround(x - point[0] * zoom)),
                 static_cast<int>(std::lround(y - point[1] * zoom)));
}

void DrawTexelView(Surface& target, const std::shared_ptr<Texture>& texture, TextureDocument& d,
                   const TexelViewStyle& style) {
    const int targetWidth = target.width();
    const int targetHeight = target.height();
    TexelLayout layout;
    const std::uint32_t* pixels = nullptr;
    int pixelsWidth = 0;
    if (texture) {
        layout = LayoutTexels(d, texture->width(), texture->height());
        if (layout.level > 0) {
            pixels = ReducedLevel(d, texture, layout.level);
            pixelsWidth = layout.width;
        } else {
            d.Reduced = ReducedTexture{};
            pixels = texture->SampleTexels();
            pixelsWidth = texture->width();
        }
    }
    const TexelPainter painter(pixels, pixelsWidth, layout.level > 0, layout, style, targetWidth);
    const bool quantise = target.format() == D3DFMT_R5G6B5;
    std::uint8_t* bits = target.bits();
    const std::size_t pitch = static_cast<std::size_t>(target.pitch());
    tbb::parallel_for(tbb::blocked_range<int>(0, targetHeight, 8),
                      [&](const tbb::blocked_range<int>& rows) {
                          for (int y = rows.begin(); y < rows.end(); ++y) {
                              auto* row = reinterpret_cast<std::uint32_t*>(bits + y * pitch);
                              painter.Row(row, y);
                              if (quantise) {
                                  for (int x = 0; x < targetWidth; ++x)
                                      row[x] = Quantised565(row[x]);
                              }
                          }
                      });
    target.Touch();
}

}  // namespace tintora
