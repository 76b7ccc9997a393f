#include "base/window_colors.h"

namespace tintora {

void SplitColor(std::uint32_t color, std::int32_t& byte2, std::int32_t& byte1,
                std::int32_t& byte0) {
    byte2 = static_cast<std::int32_t>((color >> 16) & 0xFFu);
    byte1 = static_cast<std::int32_t>((color >> 8) & 0xFFu);
    byte0 = static_cast<std::int32_t>(color & 0xFFu);
}

std::uint32_t MakeColor(std::int32_t byte2, std::int32_t byte1, std::int32_t byte0,
                        std::int32_t top) {
    return (static_cast<std::uint32_t>(top) << 24) | (static_cast<std::uint32_t>(byte2) << 16) |
           (static_cast<std::uint32_t>(byte1) << 8) | static_cast<std::uint32_t>(byte0);
}

}  // namespace tintora
