#include "cli/cli_manifest.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace tintora::cli {

namespace {

// The arguments of a line, without its comment.
std::vector<std::string> Arguments(const std::string& text) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const auto blank = [&text](std::size_t at) { return text[at] == ' ' || text[at] == '\t'; };
    for (;;) {
        while (i < text.size() && blank(i))
            ++i;
        if (i == text.size() || text[i] == '#') return arguments;
        std::string& argument = arguments.emplace_back();
        while (i < text.size() && !blank(i)) {
            if (text[i] != '"') {
                argument += text[i++];
                continue;
            }
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string::npos) throw UsageError("a quote is not closed");
            argument += text.substr(i + 1, close - i - 1);
            i = close + 1;
        }
    }
}

}  // namespace

std::vector<ManifestEntry> ReadManifest(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) {
        throw UsageError("cannot read the manifest \"" + fileName + "\": " + std::strerror(errno));
    }
    const auto slash = fileName.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
    std::vector<ManifestEntry> entries;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::string place = fileName + ":" + std::to_string(number);
        try {
            const std::vector<std::string> arguments = Arguments(text);
            if (!arguments.empty()) {
                entries.push_back({place, ParseManifestArguments(arguments, folder)});
            }
        } catch (const UsageError& error) {
            throw UsageError(place + ": " + error.what());
        }
    }
    if (in.bad()) throw UsageError("cannot read the manifest \"" + fileName + "\"");
    return entries;
}

}  // namespace tintora::cli
