// The Normal and Tiled views of a texture window at any zoom: where the picture lies in the
// window, which texel a window pixel shows, and the drawing itself, texel rows copied and scaled
// straight into the window's back buffer (the Stretch views draw through DrawQuad).
//
// The zoom is picture pixels per texel, one of kZoomSteps. From 1 up each texel is a square of
// zoom x zoom pixels of its own colour. Below 1 each picture pixel shows a block of 2 x 2, 4 x 4
// or 8 x 8 texels averaged (colours weighted by their alpha; blocks cut by the texture's right or
// bottom edge average the texels they hold), from reduced copies made once per change of the
// texture (TextureDocument::Reduced). In Normal view a picture that fits the window is centred
// with its top-left corner on a whole pixel (the centred position rounded down), so every texel
// is exactly one pixel at 1:1 and no edge wraps into view; a larger one shows the part that the
// document's CentreX, CentreY put at the window's centre, kept inside the picture. In Tiled view
// the picture repeats, with the texture point TileX, TileY at the window's top-left corner.
//
// Positions are window pixels; x grows to the right, y downwards. Everything runs on the UI
// thread; the drawing splits its rows over the machine's cores.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "document/module1.h"

namespace tintora {

inline constexpr std::array<double, 13> kZoomSteps = {0.125, 0.25, 0.5, 1,  2,  3, 4,
                                                      6,     8,    12,  16, 24, 32};
// From this zoom on, lines between the texels are drawn (when ShowTexelGrid is on).
inline constexpr double kGridZoom = 8.0;
// The checkerboard behind transparent texels: squares of this many pixels in two greys, the light
// one at the picture's top-left corner (device colours 0x00RRGGBB).
inline constexpr int kCheckerSize = 8;
inline constexpr std::uint32_t kCheckerLight = 0x00FFFFFFu;
inline constexpr std::uint32_t kCheckerDark = 0x00CCCCCCu;

// True for the views drawn here: Normal and Tiled.
bool IsTexelView(ViewMode mode);

// The step `steps` steps above (positive) or below (negative) zoom, stopping at the first and
// the last step. A zoom that is no step counts as the nearest one.
double ZoomStep(double zoom, int steps);

// The largest step at which a width x height texture fits in an area of areaWidth x areaHeight
// pixels; the first step when none does.
double FitZoom(int areaWidth, int areaHeight, int width, int height);

// The zoom as a percentage: "12.5%", "100%", "400%".
std::string ZoomText(double zoom);

// Where a view puts the picture of a width x height texture in its window (ChainWidth x
// ChainHeight).
struct TexelLayout {
    bool tiled = false;
    int level = 0;  // the picture shows the texture averaged over 2^level x 2^level texels
    int scale = 1;  // picture pixels per texel side (1 when level > 0)
    int width = 0;  // picture size in pixels
    int height = 0;
    int x = 0;  // window position of the picture's top-left pixel; tiled: of the copy that
    int y = 0;  // covers the window's top-left corner, in (-width, 0] and (-height, 0]
};
TexelLayout LayoutTexels(const TextureDocument& d, int width, int height);

// The texel of a width x height texture that document d shows at window position (x, y): the
// texel at the centre of the pixel holding that position. None outside the window and, in
// Normal view, beside the picture.
std::optional<std::array<int, 2>> TexelAt(const TextureDocument& d, int width, int height, double x,
                                          double y);

// Stores d's view position so that the picture's top-left pixel lies at window (x, y), as far
// as the view allows: in Normal view a picture larger than the window is kept covering it, one
// that fits stays centred; in Tiled view any position repeats with the picture's size.
void PlacePicture(TextureDocument& d, int width, int height, int x, int y);

// Zooming about a point: the texture point at window position (x, y), in texels from the
// texture's corner (fractions within a texel; beyond the texture beside a Normal picture); after
// a change of zoom or window size, PutTexturePoint moves the picture so that the point lies at
// (x, y) again, as far as PlacePicture allows.
std::array<double, 2> TexturePoint(const TextureDocument& d, int width, int height, double x,
                                   double y);
void PutTexturePoint(TextureDocument& d, int width, int height, std::array<double, 2> point,
                     double x, double y);

// How a view draws around and behind the texels.
struct TexelViewStyle {
    std::uint32_t background = 0;  // device colour 0x00RRGGBB beside the picture
    bool alphaOnly = false;        // white by the texels' alpha over black
    bool checkerboard = false;     // a checkerboard behind transparent texels
    bool grid = false;             // lines between the texels, from kGridZoom
};

// Draws document d's Normal or Tiled view of texture (null: none) into target, a 32-bit render
// target of d's chain size: the background, the picture as LayoutTexels places it, and the
// style's checkerboard and grid; colours are blended by the texel's alpha over what lies behind
// as DrawQuad blends them (a transparent texel shows the background or the checkerboard). An
// R5G6B5 target gets its colours quantised as the device quantises them. Makes or reuses d's
// reduced copies when the zoom is below 1 and drops them at 1 and above. Throws PlatformError
// for a locked texture.
void DrawTexelView(Surface& target, const std::shared_ptr<Texture>& texture, TextureDocument& d,
                   const TexelViewStyle& style);

}  // namespace tintora
