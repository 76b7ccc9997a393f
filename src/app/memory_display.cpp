#include "app/memory_display.h"

#include <cmath>
#include <string>
#include <vector>

#include "device/device.h"

namespace tintora {

std::int64_t DisplayedMegabytes(std::int64_t bytes) {
    const double tenths =
        std::floor(static_cast<double>(bytes) / kMemoryDisplayDivisor * 10.0 + 0.5);
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    return static_cast<std::int64_t>(std::nearbyint(tenths / 10.0));
}

std::string MemoryStatusText(const MemoryFigures& figures,
                             std::optional<std::uint32_t> textureMemory) {
    const std::int64_t total = DisplayedMegabytes(figures.totalPhys);
    const std::int64_t avail = DisplayedMegabytes(figures.availPhys);
    const float percent = total == 0
                              ? 0.0f
                              : static_cast<float>(std::floor(static_cast<double>(avail) /
                                                              static_cast<double>(total) * 100.0));
    const std::int64_t video = textureMemory ? static_cast<std::int64_t>(std::nearbyint(
                                                   static_cast<double>(*textureMemory) / 1048576.0))
                                             : 0;
    return "RAM available : " + std::to_string(avail) + " MB (" +
           std::to_string(static_cast<std::int64_t>(percent)) +
           "%) | Video Memory available : " + std::to_string(video) + " MB  ";
}

std::int64_t RecoverMemory(MemoryStatus& memory, Device* device) {
    if (device != nullptr) device->ResourceManagerDiscardBytes(0);
    const std::int64_t n = memory.Read().availPhys / 4000000;
    if (n < 0) return n;
    // Every string is made and filled before the next one, so the pages are really touched.
    std::vector<std::string> strings(static_cast<std::size_t>(n) + 1);
    for (auto& text : strings)
        text.assign(1000000, ' ');
    volatile char sink = strings.back()[999999];
    static_cast<void>(sink);
    strings.clear();
    strings.shrink_to_fit();
    return n;
}

}  // namespace tintora
