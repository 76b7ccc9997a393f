#include "services/qt/system_memory.h"

#include <sys/sysinfo.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>

namespace tintora {

std::optional<MemoryFigures> ParseMemInfo(const std::string& text) {
    std::map<std::string, std::int64_t> bytes;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::istringstream rest(line.substr(colon + 1));
        std::int64_t value = 0;
        std::string unit;
        if (!(rest >> value)) continue;
        rest >> unit;
        bytes[line.substr(0, colon)] = unit == "kB" ? value * 1024 : value;
    }
    const auto total = bytes.find("MemTotal");
    if (total == bytes.end()) return std::nullopt;
    MemoryFigures figures;
    figures.totalPhys = total->second;
    if (const auto avail = bytes.find("MemAvailable"); avail != bytes.end()) {
        figures.availPhys = avail->second;
    } else {
        figures.availPhys = bytes["MemFree"] + bytes["Buffers"] + bytes["Cached"];
    }
    return figures;
}

MemoryFigures SystemMemoryStatus::Read() {
    std::ifstream file("/proc/meminfo");
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        if (const auto figures = ParseMemInfo(text.str())) return *figures;
    }
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return {};
    const auto unit = static_cast<std::int64_t>(info.mem_unit);
    return {static_cast<std::int64_t>(info.totalram) * unit,
            static_cast<std::int64_t>(info.freeram + info.bufferram) * unit};
}

}  // namespace tintora
