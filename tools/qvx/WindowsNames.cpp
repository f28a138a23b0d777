#include "WindowsNames.h"

#include <array>
#include <cstdio>

#include "Utf8.h"

namespace qvx::cli {

namespace {

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

// Upper case of the letters of Latin-1, Latin Extended-A, Greek and Cyrillic that have a simple
// one-to-one case pair; other code points are returned as they are.
char32_t FoldedLetter(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c <= 0x17F) {
        // Latin Extended-A pairs capital and small letter; three runs start the pair on an odd
        // code point. U+0130/0131 (dotted and dotless I), U+0138, U+0149 and U+017F have no pair.
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F || c == 0x178) return c;
        const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool small = oddPairs ? (c % 2 == 0) : (c % 2 == 1);
        return small ? c - 1 : c;
    }
    // Greek.
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
    if (c == 0x3C2) return 0x3A3;  // final sigma
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x3CA && c <= 0x3CB) return c - 0x20;  // with dialytika
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF))
        return c % 2 == 1 ? c - 1 : c;
    if (c >= 0x4C1 && c <= 0x4CE) return c % 2 == 0 ? c - 1 : c;
    if (c == 0x4CF) return 0x4C0;
    return c;
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

std::string CaseFoldKey(std::string_view name) {
    std::string key;
    std::size_t pos = 0;
    while (pos < name.size()) {
        if (const auto c = NextCodePoint(name, &pos)) {
            AppendUtf8(key, FoldedLetter(*c));
        } else {
            key += name[pos++];
        }
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
