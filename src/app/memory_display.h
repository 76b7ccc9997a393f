// The status strip's memory figures and the memory recovery of the "Recover Mem." button.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "services/ui_services.h"

namespace tintora {

class Device;

// The divisor that turns bytes into the displayed megabytes (not 1048576).
constexpr double kMemoryDisplayDivisor = 1044032.0;

// Megabytes shown for a byte count: round(Int(bytes / 1044032 x 10 + 0.5) / 10), where Int
// rounds down and round goes to the nearest integer with ties to even.
std::int64_t DisplayedMegabytes(std::int64_t bytes);

// The memory display's text:
//   "RAM available : <avail> MB (<percent>%) | Video Memory available : <video> MB  "
// avail and total are DisplayedMegabytes of the two figures; percent = Int(avail / total x 100)
// kept in single precision (0 when total is 0); video = round(textureMemory / 1048576) with ties
// to even, or 0 when there is no device (textureMemory empty). Byte counts are 64-bit.
std::string MemoryStatusText(const MemoryFigures& figures,
                             std::optional<std::uint32_t> textureMemory);

// "Recover Mem.": when a device is given, discards its managed resources; then reads the memory
// figures, takes n = AvailPhys / 4000000 (truncating) and allocates n + 1 strings of 1,000,000
// blanks each, one after the other, before freeing them all. Returns n.
std::int64_t RecoverMemory(MemoryStatus& memory, Device* device);

}  // namespace tintora
