#include "cli/cli_depfile.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "cli/cli_options.h"

namespace tintora::cli {

namespace fs = std::filesystem;

namespace {

std::string Escaped(const std::string& name, bool isOutput) {
    const auto refuse = [&name](const std::string& what) {
        throw UsageError("--depfile cannot name \"" + name +
                         "\" so that Make and Ninja read it back: " + what);
    };
    if (name.empty()) refuse("it is empty");
    if (name.front() == '~') refuse("it starts with '~'");
    if (name.back() == ':') refuse("it ends in ':'");
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || byte >= 0x80 ||
            std::string_view("+,/_.-@!{}~%").find(c) != std::string_view::npos) {
            if (c == '%' && isOutput) refuse("Make reads an output with '%' as a pattern");
            text += c;
        } else if (c == ' ' || c == '#' || c == ':') {
            text += '\\';
            text += c;
        } else if (c == '$') {
            text += "$$";
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(byte));
            refuse(std::string("it holds ") +
                   (std::isprint(byte) ? std::string("'") + c + "'" : code));
        }
    }
    return text;
}

}  // namespace

std::string DepfileText(const std::string& output, const std::vector<std::string>& inputs) {
    std::string text = Escaped(output, true) + ":";
    for (const std::string& input : inputs)
        text += " " + Escaped(input, false);
    return text + "\n";
}

void CommitWithDepfile(StagedFile& output, StagedFile& depfile) {
    // The file the commit replaces: the output, or where a symbolic link there points.
    std::error_code error;
    fs::path target = output.fileName();
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::canonical(target, error);
        if (!error) target = resolved;
    }
    const bool existed = fs::exists(target, error);
    std::string kept;
    if (existed && fs::is_regular_file(target, error)) {
        kept = (target.parent_path() /
                ("." + target.filename().string() + ".keep-" + std::to_string(::getpid())))
                   .string();
        ::unlink(kept.c_str());
        if (::link(target.c_str(), kept.c_str()) != 0) kept.clear();
    }
    try {
        output.Commit();
    } catch (...) {
        if (!kept.empty()) ::unlink(kept.c_str());
        throw;
    }
    try {
        depfile.Commit();
    } catch (...) {
        if (!kept.empty()) {
            ::rename(kept.c_str(), target.c_str());
        } else if (!existed) {
            ::unlink(target.c_str());
        }
        throw;
    }
    if (!kept.empty()) ::unlink(kept.c_str());
}

}  // namespace tintora::cli
