// The machine's physical memory figures, read from the Linux kernel.
#pragma once

#include <optional>
#include <string>

#include "services/ui_services.h"

namespace tintora {

// Reads /proc/meminfo: MemTotal and MemAvailable (or, on kernels without it, MemFree + Buffers +
// Cached); falls back to sysinfo(2) when the file cannot be read. Byte counts are 64-bit.
class SystemMemoryStatus : public MemoryStatus {
  public:
    MemoryFigures Read() override;
};

// The figures of a /proc/meminfo text ("MemTotal:  16318440 kB" lines); empty without MemTotal.
std::optional<MemoryFigures> ParseMemInfo(const std::string& text);

}  // namespace tintora
