#include "WideText.h"

namespace qvx::launcher {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsLead(char16_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
bool IsTrail(char16_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsContinuation(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

void Append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void Append(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

std::string TextFromWide(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t c = wide[i];
        if (IsLead(c) && i + 1 < wide.size() && IsTrail(wide[i + 1])) {
            Append(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else {
            Append(out, c);
        }
    }
    return out;
}

std::u16string WideFromText(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        // Sequence length, the lead byte's payload and the smallest value that needs this length.
        std::size_t length = 1;
        char32_t cp = b;
        char32_t least = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2, cp = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, cp = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, cp = b & 0x07, least = 0x10000;
        } else if (b >= 0x80) {
            length = 0;
        }
        if (length > 1 && i + length <= text.size()) {
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if (!IsContinuation(next)) {
                    length = 0;
                    break;
                }
                cp = (cp << 6) | (next & 0x3F);
            }
            if (length != 0 && (cp < least || cp > 0x10FFFF)) length = 0;
        } else if (length > 1) {
            length = 0;
        }
        if (length == 0) {
            out.push_back(static_cast<char16_t>(kReplacement));
            ++i;
            continue;
        }
        Append(out, cp);
        i += length;
    }
    return out;
}

}  // namespace qvx::launcher
