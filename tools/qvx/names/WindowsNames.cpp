#include "names/WindowsNames.h"

#include <array>
#include <cstdio>

#include "platform/Utf8.h"
#include "platform/UpperCase.h"

namespace qvx::cli {

namespace {

// The longest path Windows opens, in UTF-16 characters (with the \\?\ prefix).
constexpr std::size_t kWindowsPathLimit = 32767;

std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// Whether the name (without extension) is a device of Windows.
bool IsDeviceName(std::string_view base) {
    const std::string upper = AsciiUpper(base);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL"})
        if (upper == device) return true;
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
    const std::string_view digit = std::string_view(upper).substr(3);
    if (digit.size() == 1) return digit[0] >= '1' && digit[0] <= '9';
    // Superscript one, two and three.
    return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::string WindowsComponentProblem(std::string_view component) {
    for (char ch : component) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x01 && c <= 0x1F) {
            char text[48];
            std::snprintf(text, sizeof text, "control character 0x%02X in name", c);
            return text;
        }
        for (char bad : {'<', '>', ':', '"', '|', '?', '*'})
            if (ch == bad) return std::string("character '") + bad + "' in name";
    }
    if (!component.empty() && (component.back() == '.' || component.back() == ' '))
        return component.back() == '.' ? "name ends in a dot" : "name ends in a space";
    // Windows takes the part before the first dot, less trailing spaces, as the device.
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    if (IsDeviceName(base)) return "reserved device name '" + std::string(base) + "'";
    return {};
}

std::string WindowsNameProblem(const std::vector<std::string>& components) {
    for (const std::string& component : components)
        if (std::string problem = WindowsComponentProblem(component); !problem.empty()) return problem;
    return {};
}

std::string WindowsPathLengthProblem(std::size_t directoryLength, std::string_view name) {
    const std::size_t length = directoryLength + 1 + Utf16Length(name);
    if (length <= kWindowsPathLimit) return {};
    return "path of " + std::to_string(length) + " characters, longer than Windows can open (32767)";
}

std::string CaseFoldKey(std::string_view name) {
    // Each run of well-formed UTF-8 is mapped as a whole; other bytes stay as they are.
    std::string key;
    std::size_t pos = 0;
    while (pos < name.size()) {
        const std::size_t start = pos;
        while (pos < name.size() && NextCodePoint(name, &pos)) {
        }
        if (pos > start) platform::AppendUpperCase(key, name.substr(start, pos - start));
        if (pos < name.size()) key += name[pos++];
    }
    return key;
}

bool NameCollisions::Take(const std::string& name, std::string* earlier) {
    const auto [it, inserted] = byKey_.emplace(CaseFoldKey(name), name);
    if (!inserted && earlier) *earlier = it->second;
    return inserted;
}

std::string CollisionMessage(const std::string& earlier) {
    return "same name as \"" + earlier + "\" ignoring case (Windows holds only one of them)";
}

}  // namespace qvx::cli
