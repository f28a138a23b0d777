#include "names/ShownText.h"

#include <algorithm>

#include "platform/Utf8.h"

namespace qvx::cli {

namespace {

bool PrintableAscii(char c) { return c >= 0x20 && c < 0x7F; }

}  // namespace

std::string ShownText(std::string_view utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), PrintableAscii)) return std::string(utf8);
    std::string shown;
    shown.reserve(utf8.size() + 8);
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const auto c = NextCodePoint(utf8, &pos);
        if (!c) {
            shown += '?';
            ++pos;
        } else if (*c < 0x20) {
            shown += '^';
            shown += static_cast<char>(*c + 0x40);
        } else if (*c == 0x7F) {
            shown += "^?";
        } else if (*c >= 0x80 && *c <= 0x9F) {
            shown += '?';
        } else {
            shown.append(utf8.substr(start, pos - start));
        }
    }
    return shown;
}

std::string ShownName(const CodePage& names, std::string_view stored) {
    return ShownText(names.DecodeReplacing(stored, "?"));
}

}  // namespace qvx::cli
