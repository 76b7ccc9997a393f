#include "device/rasterizer.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace tintora {

namespace {

// Triangles covering fewer pixels than this are drawn on the calling thread.
constexpr double kParallelArea = 32768.0;

struct Rgba {
    int b = 0;
    int g = 0;
    int r = 0;
    int a = 0;
};

inline Rgba Unpack(std::uint32_t argb) {
    return {static_cast<int>(argb & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
            static_cast<int>((argb >> 16) & 0xFF), static_cast<int>(argb >> 24)};
}

// round(a * b / 255) for a, b in 0..255 (and sums up to 2 x 255 x 255): exact, no ties exist.
inline int Div255(int t) {
    return (t + 127) / 255;
}

template <typename T>
inline bool Compare(std::uint32_t func, T value, T reference) {
    switch (func) {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return value < reference;
        case D3DCMP_EQUAL:
            return value == reference;
        case D3DCMP_LESSEQUAL:
            return value <= reference;
        case D3DCMP_GREATER:
            return value > reference;
        case D3DCMP_NOTEQUAL:
            return value != reference;
        case D3DCMP_GREATEREQUAL:
            return value >= reference;
        default:
            return true;
    }
}

// Maps a texel index to the texture according to the addressing mode; -1 means "border".
inline int Address(std::uint32_t mode, int i, int size) {
    if (i >= 0 && i < size) return i;
    switch (mode) {
        case D3DTADDRESS_CLAMP:
            return i < 0 ? 0 : size - 1;
        case D3DTADDRESS_MIRROR: {
            const int period = 2 * size;
            int m = i % period;
            if (m < 0) m += period;
            return m < size ? m : period - 1 - m;
        }
        case D3DTADDRESS_BORDER:
            return -1;
        default: {
            int m = i % size;
            return m < 0 ? m + size : m;
        }
    }
}

// Floor of a float as an int, for texel coordinates far inside the int range.
inline int FloorToInt(float f) {
    const int i = static_cast<int>(f);
    return (static_cast<float>(i) > f) ? i - 1 : i;
}

// Texture units address texels in fixed point with 8 fraction bits: a coordinate within half a
// step below a texel boundary lands on the boundary. Point sampling takes the texel that holds the
// coordinate after that rounding, so a pixel centre that falls exactly on a boundary (a quad placed
// at a half pixel) picks the same texel whatever the float error of its interpolation.
constexpr float kTexelSnap = 1.0f / 512.0f;

inline int PointTexel(float coordinate, int size) {
    return FloorToInt(coordinate * static_cast<float>(size) + kTexelSnap);
}

class Sampler {
  public:
    Sampler(const RasterState& s, bool linear)
        : s_(s), linear_(linear), w_(s.texWidth), h_(s.texHeight) {}

    std::uint32_t Sample(float u, float v) const {
        if (s_.texels == nullptr) return 0;
        if (!linear_) {
            const int x = Address(s_.addressU, PointTexel(u, w_), w_);
            const int y = Address(s_.addressV, PointTexel(v, h_), h_);
            return Fetch(x, y);
        }
        const float fx = u * static_cast<float>(w_) - 0.5f;
        const float fy = v * static_cast<float>(h_) - 0.5f;
        const int ix = FloorToInt(fx);
        const int iy = FloorToInt(fy);
        // 8-bit filter weights, as texture units use.
        const int wx = static_cast<int>((fx - static_cast<float>(ix)) * 256.0f + 0.5f);
        const int wy = static_cast<int>((fy - static_cast<float>(iy)) * 256.0f + 0.5f);
        const int xa = Address(s_.addressU, ix, w_);
        const int xb = Address(s_.addressU, ix + 1, w_);
        const int ya = Address(s_.addressV, iy, h_);
        const int yb = Address(s_.addressV, iy + 1, h_);
        const std::uint32_t c00 = Fetch(xa, ya);
        const std::uint32_t c10 = Fetch(xb, ya);
        const std::uint32_t c01 = Fetch(xa, yb);
        const std::uint32_t c11 = Fetch(xb, yb);
        if (c00 == c10 && c00 == c01 && c00 == c11) return c00;
        const int w00 = (256 - wx) * (256 - wy);
        const int w10 = wx * (256 - wy);
        const int w01 = (256 - wx) * wy;
        const int w11 = wx * wy;
        std::uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int sum = static_cast<int>((c00 >> shift) & 0xFF) * w00 +
                            static_cast<int>((c10 >> shift) & 0xFF) * w10 +
                            static_cast<int>((c01 >> shift) & 0xFF) * w01 +
                            static_cast<int>((c11 >> shift) & 0xFF) * w11;
            out |= static_cast<std::uint32_t>((sum + 32768) >> 16) << shift;
        }
        return out;
    }

  private:
    std::uint32_t Fetch(int x, int y) const {
        if (x < 0 || y < 0) return s_.borderColor;
        return s_.texels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) +
                         static_cast<std::size_t>(x)];
    }

    const RasterState& s_;
    bool linear_;
    int w_;
    int h_;
};

inline int Argument(std::uint32_t arg, int diffuse, int texel, int factor, int diffuseAlpha,
                    int texelAlpha, int factorAlpha, bool alphaChannel) {
    int value = 0;
    bool replicate = !alphaChannel && (arg & D3DTA_ALPHAREPLICATE) != 0;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE:
        case D3DTA_CURRENT:
            value = replicate ? diffuseAlpha : diffuse;
            break;
        case D3DTA_TEXTURE:
            value = replicate ? texelAlpha : texel;
            break;
        case D3DTA_TFACTOR:
            value = replicate ? factorAlpha : factor;
            break;
        default:
            value = 0;
            break;  // specular: not interpolated by this device
    }
    if ((arg & D3DTA_COMPLEMENT) != 0) value = 255 - value;
    return value;
}

inline int Operate(std::uint32_t op, int a1, int a2, int current) {
    switch (op) {
        case D3DTOP_SELECTARG1:
            return a1;
        case D3DTOP_SELECTARG2:
            return a2;
        case D3DTOP_MODULATE:
            return Div255(a1 * a2);
        case D3DTOP_MODULATE2X:
            return std::min(255, Div255(2 * a1 * a2));
        case D3DTOP_MODULATE4X:
            return std::min(255, Div255(4 * a1 * a2));
        case D3DTOP_ADD:
            return std::min(255, a1 + a2);
        case D3DTOP_ADDSIGNED:
            return std::clamp(a1 + a2 - 128, 0, 255);
        case D3DTOP_SUBTRACT:
            return std::max(0, a1 - a2);
        default:
            return current;  // disabled: the diffuse colour passes through
    }
}

inline int BlendFactor(std::uint32_t factor, int channelSrc, int srcAlpha, int channelDst,
                       int dstAlpha, bool alphaChannel) {
    switch (factor) {
        case D3DBLEND_ZERO:
            return 0;
        case D3DBLEND_ONE:
            return 255;
        case D3DBLEND_SRCCOLOR:
            return channelSrc;
        case D3DBLEND_INVSRCCOLOR:
            return 255 - channelSrc;
        case D3DBLEND_SRCALPHA:
            return srcAlpha;
        case D3DBLEND_INVSRCALPHA:
            return 255 - srcAlpha;
        case D3DBLEND_DESTALPHA:
            return dstAlpha;
        case D3DBLEND_INVDESTALPHA:
            return 255 - dstAlpha;
        case D3DBLEND_DESTCOLOR:
            return channelDst;
        case D3DBLEND_INVDESTCOLOR:
            return 255 - channelDst;
        case D3DBLEND_SRCALPHASAT:
            return alphaChannel ? 255 : std::min(srcAlpha, 255 - dstAlpha);
        default:
            return 0;
    }
}

inline int To565Channel(int v, int bits) {
    const int max = (1 << bits) - 1;
    const int q = Div255(v * max);
    return (q << (8 - bits)) | (q >> (2 * bits - 8));
}

// A linear function of the screen position: value = base + dx * x + dy * y.
struct Plane {
    double base = 0.0;
    double dx = 0.0;
    double dy = 0.0;

    static Plane Through(double x0, double y0, double a0, double x1, double y1, double a1,
                         double x2, double y2, double a2, double area) {
        Plane p;
        p.dx = ((a1 - a0) * (y2 - y0) - (a2 - a0) * (y1 - y0)) / area;
        p.dy = ((a2 - a0) * (x1 - x0) - (a1 - a0) * (x2 - x0)) / area;
        p.base = a0 - p.dx * x0 - p.dy * y0;
        return p;
    }
    double At(double x, double y) const { return base + dx * x + dy * y; }
};

struct Edge {
    double xa = 0.0;
    double ya = 0.0;
    double xb = 0.0;
    double yb = 0.0;

    // Oriented top to bottom so that an edge shared by two triangles is computed identically.
    static Edge Between(const RasterVertex& p, const RasterVertex& q) {
        if (p.y < q.y || (p.y == q.y && p.x < q.x)) return {p.x, p.y, q.x, q.y};
        return {q.x, q.y, p.x, p.y};
    }
    bool Covers(double y) const { return ya <= y && y < yb; }
    double XAt(double y) const { return xa + (y - ya) * (xb - xa) / (yb - ya); }
};

class TriangleRaster {
  public:
    TriangleRaster(const RasterState& s, const RasterVertex& v0, const RasterVertex& v1,
                   const RasterVertex& v2, double area)
        : s_(s), edges_{Edge::Between(v0, v1), Edge::Between(v1, v2), Edge::Between(v2, v0)} {
        const auto plane = [&](float a0, float a1, float a2) {
            return Plane::Through(v0.x, v0.y, a0, v1.x, v1.y, a1, v2.x, v2.y, a2, area);
        };
        perspective_ = !(v0.rhw == v1.rhw && v1.rhw == v2.rhw);
        rhw_ = plane(v0.rhw, v1.rhw, v2.rhw);
        const float k0 = perspective_ ? v0.rhw : 1.0f;
        const float k1 = perspective_ ? v1.rhw : 1.0f;
        const float k2 = perspective_ ? v2.rhw : 1.0f;
        u_ = plane(v0.u * k0, v1.u * k1, v2.u * k2);
        v_ = plane(v0.v * k0, v1.v * k1, v2.v * k2);
        z_ = plane(v0.z, v1.z, v2.z);
        constantColor_ =
            s.flatShade || (v0.b == v1.b && v1.b == v2.b && v0.g == v1.g && v1.g == v2.g &&
                            v0.r == v1.r && v1.r == v2.r && v0.a == v1.a && v1.a == v2.a);
        flat_ = {static_cast<int>(std::lround(v0.b)), static_cast<int>(std::lround(v0.g)),
                 static_cast<int>(std::lround(v0.r)), static_cast<int>(std::lround(v0.a))};
        if (!constantColor_) {
            cb_ = plane(v0.b * k0, v1.b * k1, v2.b * k2);
            cg_ = plane(v0.g * k0, v1.g * k1, v2.g * k2);
            cr_ = plane(v0.r * k0, v1.r * k1, v2.r * k2);
            ca_ = plane(v0.a * k0, v1.a * k1, v2.a * k2);
        }
        usesTexture_ = UsesTexture(s.colorOp, s.colorArg1, s.colorArg2) ||
                       UsesTexture(s.alphaOp, s.alphaArg1, s.alphaArg2);
        // Magnification or minification: texels per pixel at the triangle, from the texture
        // coordinate gradients (exact for screen-aligned quads, an estimate under perspective).
        bool linear = s.magFilter == D3DTEXF_LINEAR;
        if (usesTexture_ && s.texels != nullptr) {
            const double cx = (v0.x + v1.x + v2.x) / 3.0;
            const double cy = (v0.y + v1.y + v2.y) / 3.0;
            const double w = perspective_ ? 1.0 / rhw_.At(cx, cy) : 1.0;
            const double dudx = u_.dx * w * s.texWidth;
            const double dudy = u_.dy * w * s.texWidth;
            const double dvdx = v_.dx * w * s.texHeight;
            const double dvdy = v_.dy * w * s.texHeight;
            const double scale = std::max(dudx * dudx + dvdx * dvdx, dudy * dudy + dvdy * dvdy);
            linear = (scale > 1.0000001 ? s.minFilter : s.magFilter) == D3DTEXF_LINEAR;
        }
        linear_ = linear;
        ChooseFastPaths();
        minY_ = std::min({v0.y, v1.y, v2.y});
        maxY_ = std::max({v0.y, v1.y, v2.y});
    }

    void Draw(double area) const {
        int rowBegin = static_cast<int>(std::ceil(minY_ - 0.5));
        int rowEnd = static_cast<int>(std::ceil(maxY_ - 0.5));
        rowBegin = std::max(rowBegin, s_.y0);
        rowEnd = std::min(rowEnd, s_.y1);
        if (rowBegin >= rowEnd) return;
        if (s_.parallelRowGrain > 0 && std::abs(area) * 0.5 >= kParallelArea) {
            tbb::parallel_for(tbb::blocked_range<int>(rowBegin, rowEnd, s_.parallelRowGrain),
                              [this](const tbb::blocked_range<int>& rows) {
                                  for (int y = rows.begin(); y != rows.end(); ++y)
                                      DrawRow(y);
                              });
        } else {
            for (int y = rowBegin; y < rowEnd; ++y)
                DrawRow(y);
        }
    }

  private:
    static bool UsesTexture(std::uint32_t op, std::uint32_t a1, std::uint32_t a2) {
        const bool arg1 = (a1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
        const bool arg2 = (a2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
        switch (op) {
            case D3DTOP_DISABLE:
                return false;
            case D3DTOP_SELECTARG1:
                return arg1;
            case D3DTOP_SELECTARG2:
                return arg2;
            default:
                return arg1 || arg2;
        }
    }

    void DrawRow(int y) const {
        const double yc = y + 0.5;
        double xs[2];
        int found = 0;
        for (const Edge& e : edges_) {
            if (found < 2 && e.Covers(yc)) xs[found++] = e.XAt(yc);
        }
        if (found < 2) return;
        const double xl = std::min(xs[0], xs[1]);
        const double xr = std::max(xs[0], xs[1]);
        const int xBegin = std::max(static_cast<int>(std::ceil(xl - 0.5)), s_.x0);
        const int xEnd = std::min(static_cast<int>(std::ceil(xr - 0.5)), s_.x1);
        if (xBegin >= xEnd) return;
        Dispatch(y, xBegin, xEnd);
    }

    // Pixel pipelines specialised for the common state combinations, so the per-pixel loop of
    // a view redraw has no state switches; every other combination takes the generic path.
    enum class Combine { Generic, Texture, DiffuseColourTextureAlpha };
    enum class BlendKind { Off, SourceAlpha, Generic };

    void Dispatch(int y, int xBegin, int xEnd) const {
        if (unitCopy_ && DrawUnitSpan(y, xBegin, xEnd)) return;
        const auto withBlend = [&]<bool L, Combine C>() {
            switch (blendKind_) {
                case BlendKind::Off:
                    DrawSpan<L, C, BlendKind::Off>(y, xBegin, xEnd);
                    break;
                case BlendKind::SourceAlpha:
                    DrawSpan<L, C, BlendKind::SourceAlpha>(y, xBegin, xEnd);
                    break;
                case BlendKind::Generic:
                    DrawSpan<L, C, BlendKind::Generic>(y, xBegin, xEnd);
                    break;
            }
        };
        const auto withCombine = [&]<bool L>() {
            switch (combine_) {
                case Combine::Generic:
                    withBlend.template operator()<L, Combine::Generic>();
                    break;
                case Combine::Texture:
                    withBlend.template operator()<L, Combine::Texture>();
                    break;
                case Combine::DiffuseColourTextureAlpha:
                    withBlend.template operator()<L, Combine::DiffuseColourTextureAlpha>();
                    break;
            }
        };
        if (linear_) {
            withCombine.template operator()<true>();
        } else {
            withCombine.template operator()<false>();
        }
    }

    void ChooseFastPaths() {
        const auto isDiffuse = [](std::uint32_t a) {
            return a == D3DTA_DIFFUSE || a == D3DTA_CURRENT;
        };
        const bool alphaFromTexture =
            s_.alphaOp == D3DTOP_SELECTARG1 && s_.alphaArg1 == D3DTA_TEXTURE;
        const bool white = flat_.b == 255 && flat_.g == 255 && flat_.r == 255;
        combine_ = Combine::Generic;
        if (constantColor_ && alphaFromTexture && s_.colorOp == D3DTOP_MODULATE && white &&
            ((isDiffuse(s_.colorArg1) && s_.colorArg2 == D3DTA_TEXTURE) ||
             (s_.colorArg1 == D3DTA_TEXTURE && isDiffuse(s_.colorArg2)))) {
            combine_ = Combine::Texture;  // texel x white = texel
        } else if (constantColor_ && alphaFromTexture && s_.colorOp == D3DTOP_SELECTARG1 &&
                   isDiffuse(s_.colorArg1)) {
            combine_ = Combine::DiffuseColourTextureAlpha;
        }
        blendKind_ = !s_.blend ? BlendKind::Off
                     : (s_.srcBlend == D3DBLEND_SRCALPHA && s_.destBlend == D3DBLEND_INVSRCALPHA)
                         ? BlendKind::SourceAlpha
                         : BlendKind::Generic;

        // One texel per pixel along both screen axes, point sampled, affine: each row of the
        // triangle is a run of consecutive texels of one texture row (the 1:1 and tiled views).
        const bool depthTest = s_.depth != nullptr && s_.zEnable;
        unitCopy_ = s_.unitSpans && combine_ != Combine::Generic && blendKind_ != BlendKind::Generic &&
                    !perspective_ && s_.texels != nullptr && !s_.quantize565 &&
                    (!s_.alphaTest || s_.alphaFunc == D3DCMP_ALWAYS) &&
                    (!depthTest || (z_.dx == 0.0 && z_.dy == 0.0)) && u_.dy == 0.0 &&
                    v_.dx == 0.0 && std::abs(u_.dx * s_.texWidth - 1.0) <= 1e-9 &&
                    std::abs(v_.dy * s_.texHeight - 1.0) <= 1e-9;
        if (unitCopy_ && depthTest) {
            unitDepth_ = std::clamp(static_cast<float>(z_.base), 0.0f, 1.0f);
            if (s_.depthScale > 0.0f) {
                unitDepth_ = std::nearbyint(unitDepth_ * s_.depthScale) / s_.depthScale;
            }
        }
    }

    // Whether float error in the per-pixel path could flip its rounding somewhere along a span
    // that starts at this texel coordinate (in texels). Such spans take the per-pixel path, so
    // both paths always agree. The views place quads at whole and half pixels, which lie far
    // from every switch.
    //
    // Point sampling switches texels where the coordinate plus the snap crosses a whole number.
    static bool NearPointSwitch(double texelCoordinate) {
        const double fraction = texelCoordinate - std::floor(texelCoordinate);
        return std::abs(fraction - (1.0 - static_cast<double>(kTexelSnap))) < 0.02;
    }
    // Linear filtering rounds the fraction of (coordinate - 0.5) to 1/256 steps; it switches at
    // the half steps. (Where the fraction is near 0 the texel index itself may flip, but the
    // weight flips with it: texel n - 1 at full weight towards n is texel n.)
    static bool NearWeightSwitch(double filterCoordinate) {
        const double steps = (filterCoordinate - std::floor(filterCoordinate)) * 256.0;
        const double fraction = steps - std::floor(steps);
        return fraction > 0.1 && fraction < 0.9;
    }

    // The unit-scale span: the first pixel's texels and weights are found as the per-pixel path
    // finds them, the others follow one texel per pixel. Returns false (nothing drawn) for a span
    // that needs the per-pixel path.
    bool DrawUnitSpan(int y, int xBegin, int xEnd) const {
        const double xc = xBegin + 0.5;
        const double yc = y + 0.5;
        const double u0 = u_.At(xc, yc);
        const double v0 = v_.At(xc, yc);
        const int w = s_.texWidth;
        const int h = s_.texHeight;
        int column = 0;
        int row = 0;
        UnitFilter filter;
        if (!linear_) {
            if (NearPointSwitch(u0 * w) || NearPointSwitch(v0 * h)) return false;
            column = PointTexel(static_cast<float>(u0), w);
            row = Address(s_.addressV, PointTexel(static_cast<float>(v0), h), h);
        } else {
            if (NearWeightSwitch(u0 * w - 0.5) || NearWeightSwitch(v0 * h - 0.5)) return false;
            const float fx = static_cast<float>(u0) * static_cast<float>(w) - 0.5f;
            const float fy = static_cast<float>(v0) * static_cast<float>(h) - 0.5f;
            column = FloorToInt(fx);
            int top = FloorToInt(fy);
            filter.wx = static_cast<int>((fx - static_cast<float>(column)) * 256.0f + 0.5f);
            filter.wy = static_cast<int>((fy - static_cast<float>(top)) * 256.0f + 0.5f);
            // A full weight on the next texel is that texel alone.
            if (filter.wx == 256) {
                ++column;
                filter.wx = 0;
            }
            if (filter.wy == 256) {
                ++top;
                filter.wy = 0;
            }
            row = Address(s_.addressV, top, h);
            filter.nextRow = Address(s_.addressV, top + 1, h);
        }
        const bool depth = s_.depth != nullptr && s_.zEnable;
        const auto draw = [&]<Combine C, BlendKind B>() {
            if (depth) {
                DrawUnitRow<C, B, true>(y, xBegin, xEnd, column, row, filter);
            } else {
                DrawUnitRow<C, B, false>(y, xBegin, xEnd, column, row, filter);
            }
        };
        const bool texture = combine_ == Combine::Texture;
        if (blendKind_ == BlendKind::Off) {
            texture ? draw.template operator()<Combine::Texture, BlendKind::Off>()
                    : draw.template operator()<Combine::DiffuseColourTextureAlpha, BlendKind::Off>();
        } else {
            texture ? draw.template operator()<Combine::Texture, BlendKind::SourceAlpha>()
                    : draw.template
                      operator()<Combine::DiffuseColourTextureAlpha, BlendKind::SourceAlpha>();
        }
        return true;
    }

    // The 1/256 weights towards the next column and the next row of a linear-filtered span.
    // Zero weights (a texture at whole pixels) make it a copy of single texels.
    struct UnitFilter {
        int wx = 0;
        int wy = 0;
        int nextRow = -1;
    };

    // Texel x of a row under the horizontal addressing; the border colour outside.
    std::uint32_t RowTexel(const std::uint32_t* texelRow, int x) const {
        const int at = Address(s_.addressU, x, s_.texWidth);
        return at < 0 || texelRow == nullptr ? s_.borderColor : texelRow[at];
    }

    const std::uint32_t* TexelRow(int row) const {
        return row < 0 ? nullptr
                       : s_.texels + static_cast<std::size_t>(row) *
                                         static_cast<std::size_t>(s_.texWidth);
    }

    // A linear-filtered span with the same weights at every pixel: filters the texels into a
    // buffer on the stack, a piece of the row at a time, and shades each piece as a run.
    template <Combine C, BlendKind B, bool Depth>
    void DrawFilteredRow(std::uint32_t* out, float* depthRow, int xBegin, int xEnd, int column,
                         int row, const UnitFilter& f) const {
        constexpr int kPiece = 256;
        std::array<std::uint32_t, kPiece> filtered;
        const std::uint32_t* rowA = TexelRow(row);
        const std::uint32_t* rowB = TexelRow(f.nextRow);
        const int w00 = (256 - f.wx) * (256 - f.wy);
        const int w10 = f.wx * (256 - f.wy);
        const int w01 = (256 - f.wx) * f.wy;
        const int w11 = f.wx * f.wy;
        std::uint32_t left00 = RowTexel(rowA, column);
        std::uint32_t left01 = RowTexel(rowB, column);
        for (int begin = xBegin; begin < xEnd; begin += kPiece) {
            const int n = std::min(kPiece, xEnd - begin);
            for (int i = 0; i < n; ++i) {
                const int next = column + (begin - xBegin) + i + 1;
                const std::uint32_t c10 = RowTexel(rowA, next);
                const std::uint32_t c11 = RowTexel(rowB, next);
                std::uint32_t value = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const int sum = static_cast<int>((left00 >> shift) & 0xFF) * w00 +
                                    static_cast<int>((c10 >> shift) & 0xFF) * w10 +
                                    static_cast<int>((left01 >> shift) & 0xFF) * w01 +
                                    static_cast<int>((c11 >> shift) & 0xFF) * w11;
                    value |= static_cast<std::uint32_t>((sum + 32768) >> 16) << shift;
                }
                filtered[static_cast<std::size_t>(i)] = value;
                left00 = c10;
                left01 = c11;
            }
            ShadeRun<C, B, Depth>(filtered.data(), out + begin,
                                  Depth ? depthRow + begin : nullptr, n);
        }
    }

    // Splits the row into runs of consecutive texels (a wrapping texture restarts at column 0)
    // and draws each run; a texel outside the texture under other addressing is drawn alone.
    template <Combine C, BlendKind B, bool Depth>
    void DrawUnitRow(int y, int xBegin, int xEnd, int column, int row,
                     const UnitFilter& filter) const {
        auto* out = reinterpret_cast<std::uint32_t*>(
            s_.target + static_cast<std::ptrdiff_t>(y) * s_.targetPitch);
        float* depthRow =
            Depth ? s_.depth + static_cast<std::ptrdiff_t>(y) * s_.depthPitch : nullptr;
        if (filter.wx != 0 || filter.wy != 0) {
            DrawFilteredRow<C, B, Depth>(out, depthRow, xBegin, xEnd, column, row, filter);
            return;
        }
        const int w = s_.texWidth;
        const std::uint32_t* texelRow = TexelRow(row);
        int x = xBegin;
        while (x < xEnd) {
            const int first = Address(s_.addressU, column, w);
            int run = 1;
            if (first >= 0 && texelRow != nullptr &&
                (first == column || s_.addressU == D3DTADDRESS_WRAP)) {
                run = std::min(xEnd - x, w - first);
                ShadeRun<C, B, Depth>(texelRow + first, out + x, Depth ? depthRow + x : nullptr,
                                      run);
            } else {
                const std::uint32_t texel = RowTexel(texelRow, column);
                ShadeRun<C, B, Depth>(&texel, out + x, Depth ? depthRow + x : nullptr, 1);
            }
            x += run;
            column += run;
        }
    }

    // Combines, blends and writes n pixels from n consecutive texels. Branch-free per pixel
    // (an opaque texel gives itself through the blend, a clear one the destination), so the
    // loop without a depth test vectorises.
    template <Combine C, BlendKind B, bool Depth>
    void ShadeRun(const std::uint32_t* texels, std::uint32_t* out, float* depth, int n) const {
        const std::uint32_t opaque = s_.targetHasAlpha ? 0u : 0xFF000000u;
        const std::uint32_t keepDestAlpha = s_.targetHasAlpha ? 0u : 0xFF000000u;
        const std::uint32_t colour = static_cast<std::uint32_t>(flat_.b) |
                                     (static_cast<std::uint32_t>(flat_.g) << 8) |
                                     (static_cast<std::uint32_t>(flat_.r) << 16);
        const auto shade = [&](std::uint32_t src, std::uint32_t dst) {
            if constexpr (C == Combine::DiffuseColourTextureAlpha) {
                src = (src & 0xFF000000u) | colour;
            }
            if constexpr (B == BlendKind::Off) {
                return src | opaque;
            } else {
                const std::uint32_t a = src >> 24;
                const std::uint32_t ia = 255 - a;
                dst |= keepDestAlpha;  // a target without alpha reads as 255
                // round((s a + d (255 - a)) / 255): (t + 127) / 255 as a multiply and shift,
                // exact for every t up to 255 x 255 + 127.
                const auto mix = [&](int shift) {
                    const std::uint32_t t =
                        ((src >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * ia + 127;
                    return ((t * 0x8081u) >> 23) << shift;
                };
                return mix(0) | mix(8) | mix(16) | mix(24) | opaque;
            }
        };
        if constexpr (Depth) {
            for (int i = 0; i < n; ++i) {
                if (!Compare(s_.zFunc, unitDepth_, depth[i])) continue;
                if (s_.zWrite) depth[i] = unitDepth_;
                out[i] = shade(texels[i], out[i]);
            }
        } else if constexpr (B == BlendKind::Off) {
            for (int i = 0; i < n; ++i) out[i] = shade(texels[i], 0);
        } else {
            // Blocks of fully opaque texels (most textures) need no blending: the blend of an
            // opaque texel is the texel itself.
            constexpr int kBlock = 64;
            for (int begin = 0; begin < n; begin += kBlock) {
                const int end = std::min(n, begin + kBlock);
                std::uint32_t alphas = 0xFF000000u;
                for (int i = begin; i < end; ++i) alphas &= texels[i] | 0x00FFFFFFu;
                if (alphas == 0xFF000000u) {
                    for (int i = begin; i < end; ++i) {
                        out[i] = C == Combine::Texture ? texels[i] : colour | 0xFF000000u;
                    }
                } else {
                    for (int i = begin; i < end; ++i) out[i] = shade(texels[i], out[i]);
                }
            }
        }
    }

    template <bool Linear, Combine C, BlendKind B>
    void DrawSpan(int y, int xBegin, int xEnd) const {
        const Sampler sampler(s_, Linear);
        const double yc = y + 0.5;
        const Rgba factor = Unpack(s_.textureFactor);
        std::uint8_t* row = s_.target + static_cast<std::ptrdiff_t>(y) * s_.targetPitch;
        float* depthRow = s_.depth != nullptr && s_.zEnable
                              ? s_.depth + static_cast<std::ptrdiff_t>(y) * s_.depthPitch
                              : nullptr;
        const double x0 = xBegin + 0.5;
        const double rhw0 = rhw_.At(x0, yc);
        const double u0 = u_.At(x0, yc);
        const double v0 = v_.At(x0, yc);
        const int alphaRef = static_cast<int>(s_.alphaRef & 0xFF);
        for (int x = xBegin; x < xEnd; ++x) {
            const double xc = x + 0.5;
            const double step = x - xBegin;
            // Depth first: a hidden pixel costs no texture fetch.
            float z = 0.0f;
            if (depthRow != nullptr) {
                z = static_cast<float>(z_.At(xc, yc));
                z = std::clamp(z, 0.0f, 1.0f);
                if (s_.depthScale > 0.0f) z = std::nearbyint(z * s_.depthScale) / s_.depthScale;
                if (!Compare(s_.zFunc, z, depthRow[x])) continue;
            }
            const double w = perspective_ ? 1.0 / (rhw0 + rhw_.dx * step) : 1.0;
            Rgba texel;
            if (C != Combine::Generic || usesTexture_) {
                const float u = static_cast<float>((u0 + u_.dx * step) * w);
                const float v = static_cast<float>((v0 + v_.dx * step) * w);
                texel = Unpack(sampler.Sample(u, v));
            }
            Rgba src;
            if constexpr (C == Combine::Texture) {
                src = texel;
            } else if constexpr (C == Combine::DiffuseColourTextureAlpha) {
                src = {flat_.b, flat_.g, flat_.r, texel.a};
            } else {
                Rgba diffuse = flat_;
                if (!constantColor_) {
                    const auto channel = [&](const Plane& p) {
                        return std::clamp(static_cast<int>(std::lround(p.At(xc, yc) * w)), 0, 255);
                    };
                    diffuse = {channel(cb_), channel(cg_), channel(cr_), channel(ca_)};
                }
                const auto colour = [&](int d, int t, int f) {
                    const int a1 =
                        Argument(s_.colorArg1, d, t, f, diffuse.a, texel.a, factor.a, false);
                    const int a2 =
                        Argument(s_.colorArg2, d, t, f, diffuse.a, texel.a, factor.a, false);
                    return Operate(s_.colorOp, a1, a2, d);
                };
                src.b = colour(diffuse.b, texel.b, factor.b);
                src.g = colour(diffuse.g, texel.g, factor.g);
                src.r = colour(diffuse.r, texel.r, factor.r);
                const int a1 = Argument(s_.alphaArg1, diffuse.a, texel.a, factor.a, diffuse.a,
                                        texel.a, factor.a, true);
                const int a2 = Argument(s_.alphaArg2, diffuse.a, texel.a, factor.a, diffuse.a,
                                        texel.a, factor.a, true);
                src.a = Operate(s_.colorOp == D3DTOP_DISABLE ? D3DTOP_DISABLE : s_.alphaOp, a1, a2,
                                diffuse.a);
            }
            if (s_.alphaTest && !Compare(s_.alphaFunc, src.a, alphaRef)) continue;
            if (depthRow != nullptr && s_.zWrite) depthRow[x] = z;
            std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
            Rgba out = src;
            if constexpr (B == BlendKind::SourceAlpha) {
                const int a = src.a;
                const int da = s_.targetHasAlpha ? p[3] : 255;
                out = {Div255(src.b * a + p[0] * (255 - a)), Div255(src.g * a + p[1] * (255 - a)),
                       Div255(src.r * a + p[2] * (255 - a)), Div255(src.a * a + da * (255 - a))};
            } else if constexpr (B == BlendKind::Generic) {
                const Rgba dst{p[0], p[1], p[2], s_.targetHasAlpha ? p[3] : 255};
                const auto mix = [&](int sc, int dc, bool alphaChannel) {
                    const int sf = BlendFactor(s_.srcBlend, sc, src.a, dc, dst.a, alphaChannel);
                    const int df = BlendFactor(s_.destBlend, sc, src.a, dc, dst.a, alphaChannel);
                    return std::min(255, Div255(sc * sf + dc * df));
                };
                out = {mix(src.b, dst.b, false), mix(src.g, dst.g, false), mix(src.r, dst.r, false),
                       mix(src.a, dst.a, true)};
            }
            if (s_.quantize565) {
                out.b = To565Channel(out.b, 5);
                out.g = To565Channel(out.g, 6);
                out.r = To565Channel(out.r, 5);
            }
            p[0] = static_cast<std::uint8_t>(out.b);
            p[1] = static_cast<std::uint8_t>(out.g);
            p[2] = static_cast<std::uint8_t>(out.r);
            p[3] = static_cast<std::uint8_t>(s_.targetHasAlpha ? out.a : 255);
        }
    }

    const RasterState& s_;
    Edge edges_[3];
    Plane rhw_;
    Plane u_;
    Plane v_;
    Plane z_;
    Plane cb_;
    Plane cg_;
    Plane cr_;
    Plane ca_;
    Rgba flat_;
    bool perspective_ = false;
    bool constantColor_ = true;
    bool usesTexture_ = false;
    bool linear_ = false;
    Combine combine_ = Combine::Generic;
    BlendKind blendKind_ = BlendKind::Off;
    bool unitCopy_ = false;
    float unitDepth_ = 0.0f;
    double minY_ = 0.0;
    double maxY_ = 0.0;
};

}  // namespace

void RasterizeTriangle(const RasterState& state, const RasterVertex& v0, const RasterVertex& v1,
                       const RasterVertex& v2) {
    const double area = (static_cast<double>(v1.x) - v0.x) * (static_cast<double>(v2.y) - v0.y) -
                        (static_cast<double>(v2.x) - v0.x) * (static_cast<double>(v1.y) - v0.y);
    if (area == 0.0 || !std::isfinite(area)) return;
    const TriangleRaster raster(state, v0, v1, v2, area);
    raster.Draw(area);
}

}  // namespace tintora
