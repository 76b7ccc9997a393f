#include "color/colors.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/error.h"
#include "base/number_text.h"

namespace tintora {

namespace {

// Rounds to the nearest integer, ties to even (the default floating-point rounding mode).
double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

std::uint8_t Channel(double fraction) {
    return static_cast<std::uint8_t>(RoundHalfEven(255.0 * fraction));
}

// The fully saturated colour of a hue in degrees [0, 360), channels 0-1.
void HueColor(double hue, double& red, double& green, double& blue) {
    const double sixths = hue / 60.0;
    const int sector = static_cast<int>(std::floor(sixths)) % 6;
    const double f = sixths - std::floor(sixths);
    switch (sector) {
        case 0:
            red = 1.0, green = f, blue = 0.0;
            break;
        case 1:
            red = 1.0 - f, green = 1.0, blue = 0.0;
            break;
        case 2:
            red = 0.0, green = 1.0, blue = f;
            break;
        case 3:
            red = 0.0, green = 1.0 - f, blue = 1.0;
            break;
        case 4:
            red = f, green = 0.0, blue = 1.0;
            break;
        default:
            red = 1.0, green = 0.0, blue = 1.0 - f;
            break;
    }
}

ColorFieldPixels BuildColorField() {
    ColorFieldPixels pixels{};
    for (int y = 0; y < kColorFieldHeight; ++y) {
        for (int x = 0; x < kColorFieldWidth; ++x) {
            pixels[static_cast<std::size_t>(y * kColorFieldWidth + x)] = ColorFieldPixel(x, y);
        }
    }
    return pixels;
}

}  // namespace

std::int32_t NumberBoxValue(const std::string& text) {
    return TextBoxInteger(text);
}

std::uint32_t WithComponent(std::uint32_t color, int box, std::int32_t value) {
    std::int32_t blue = 0;
    std::int32_t green = 0;
    std::int32_t red = 0;
    SplitColor(color, blue, green, red);
    switch (box) {
        case 0:
            red = value;
            break;
        case 1:
            green = value;
            break;
        default:
            blue = value;
            break;
    }
    return MakeColor(blue, green, red, 0);
}

std::uint32_t ColorFieldPixel(int x, int y) {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    HueColor(360.0 * (235 - x) / 236.0, red, green, blue);
    if (y <= 27) {
        // Black (rows 0 and 1) fading in to the pure hue at row 27.
        const double scale = y <= 1 ? 0.0 : (y - 1) / 26.0;
        red *= scale;
        green *= scale;
        blue *= scale;
    } else {
        // The pure hue moving towards white, reached at row 52.
        const double towardsWhite = (y - 27) / 25.0;
        red += (1.0 - red) * towardsWhite;
        green += (1.0 - green) * towardsWhite;
        blue += (1.0 - blue) * towardsWhite;
    }
    return MakeColor(Channel(blue), Channel(green), Channel(red), 0);
}

const ColorFieldPixels& ColorField() {
    static const ColorFieldPixels field = BuildColorField();
    return field;
}

std::uint32_t ColorFieldPoint(float x, float y) {
    if (!(x >= 0.0f && y >= 0.0f && x < static_cast<float>(kColorFieldWidth) &&
          y < static_cast<float>(kColorFieldHeight))) {
        return kOutsidePicture;
    }
    const auto column = static_cast<int>(x);
    const auto row = static_cast<int>(y);
    return ColorField()[static_cast<std::size_t>(row * kColorFieldWidth + column)];
}

}  // namespace tintora
