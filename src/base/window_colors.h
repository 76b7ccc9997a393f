// Window colours taken apart and put together.
//
// A window colour is a 32-bit value with red in bits 0-7, green in bits 8-15 and blue in bits
// 16-23 (0x00BBGGRR), the form of ForegroundColor and BackgroundColor. The colour picker and the
// alpha tools both split colours this way.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>

namespace tintora {

// Takes a colour apart: byte2 = bits 16-23 (blue), byte1 = bits 8-15 (green), byte0 = bits 0-7
// (red), each 0 to 255.
void SplitColor(std::uint32_t color, std::int32_t& byte2, std::int32_t& byte1, std::int32_t& byte0);

// Puts a colour together: (top << 24) | (byte2 << 16) | (byte1 << 8) | byte0, with 32-bit
// wrapping shifts and without masking the inputs to 8 bits. A component beyond 0-255 therefore
// sets bits of its neighbours: MakeColor(0, 128, 300, 0) has red 44 and green 129; a negative
// component sets every bit above its own place.
std::uint32_t MakeColor(std::int32_t byte2, std::int32_t byte1, std::int32_t byte0,
                        std::int32_t top);

}  // namespace tintora
