#include "names/SafePath.h"

namespace qvx::cli {

namespace {

bool IsSeparator(char c) noexcept { return c == '\\' || c == '/'; }

bool OnlyDotsAndSpaces(std::string_view component) noexcept {
    for (char c : component)
        if (c != '.' && c != ' ') return false;
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> SplitEntryName(std::string_view name, std::string* reason) {
    auto refuse = [reason](const char* why) -> std::optional<std::vector<std::string>> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    if (name.empty()) return refuse("empty name");
    if (name.find('\0') != std::string_view::npos) return refuse("name contains a NUL byte");
    if (IsSeparator(name.front())) return refuse("absolute path");
    if (name.find(':') != std::string_view::npos) return refuse("drive letter or ':' in name");

    std::vector<std::string> components;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::string_view component = name.substr(start, end - start);
        if (component.empty()) return refuse("empty path component");
        if (component == "..") return refuse("'..' component");
        if (OnlyDotsAndSpaces(component)) return refuse("component of only dots and spaces");
        components.emplace_back(component);
        if (end == name.size()) break;
        start = end + 1;
    }
    return components;
}

bool IsSafeEntryName(std::string_view name) { return SplitEntryName(name).has_value(); }

std::string JoinEntryName(const std::vector<std::string>& components) {
    std::string name;
    for (const auto& c : components) {
        if (!name.empty()) name += '\\';
        name += c;
    }
    return name;
}

}  // namespace qvx::cli
