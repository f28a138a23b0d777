#include "names/CodePage.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/Utf8.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace qvx::cli {

namespace {

constexpr std::array<unsigned, 17> kNumbered = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                                                437,  850,  866,  874,  932,  936,  949,  950};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::optional<unsigned> ParseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n;
}

bool HasC1Control(std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto c = NextCodePoint(utf8, &pos);
        if (!c) return false;
        if (*c >= 0x80 && *c <= 0x9F) return true;
    }
    return false;
}

#ifdef _WIN32

std::wstring Utf16Of(std::string_view utf8) {
    std::wstring wide;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t c = *NextCodePoint(utf8, &pos);  // the callers pass checked UTF-8
        if (c >= 0x10000) {
            c -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (c >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
    return wide;
}

std::string Utf8Of(const std::wstring& wide) {
    std::string utf8;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char16_t>(wide[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
            const char32_t low = static_cast<char16_t>(wide[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(utf8, c);
    }
    return utf8;
}

// WideCharToMultiByte without best-fit mapping; a character that takes the default character is
// not in the code page.
std::optional<std::string> SystemEncode(unsigned codePage, std::string_view utf8) {
    if (utf8.empty()) return std::string();
    const std::wstring wide = Utf16Of(utf8);
    const int wideLength = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    usedDefault = FALSE;
    if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, bytes.data(), length, nullptr,
                            &usedDefault) != length ||
        usedDefault)
        return std::nullopt;
    return bytes;
}

std::optional<std::string> SystemDecode(unsigned codePage, std::string_view bytes) {
    if (bytes.empty()) return std::string();
    const int byteLength = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), byteLength, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), byteLength, wide.data(), length) != length)
        return std::nullopt;
    return Utf8Of(wide);
}

#else

const char* IconvName(unsigned codePage) {
    switch (codePage) {
        case 874: return "WINDOWS-874";
        case 1250: return "WINDOWS-1250";
        case 1251: return "WINDOWS-1251";
        case 1252: return "WINDOWS-1252";
        case 1253: return "WINDOWS-1253";
        case 1254: return "WINDOWS-1254";
        case 1255: return "WINDOWS-1255";
        case 1256: return "WINDOWS-1256";
        case 1257: return "WINDOWS-1257";
        case 1258: return "WINDOWS-1258";
        case 437: return "CP437";
        case 850: return "CP850";
        case 866: return "CP866";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        default: return nullptr;
    }
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const noexcept { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, with the converter's shift state flushed; std::nullopt when a
    // sequence cannot be converted, or only approximately (iconv counts such conversions).
    std::optional<std::string> Convert(std::string_view input) {
        std::string output(input.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* out = output.data();
        std::size_t outLeft = output.size();
        if (::iconv(cd_, &in, &inLeft, &out, &outLeft) != 0) return std::nullopt;
        if (::iconv(cd_, nullptr, nullptr, &out, &outLeft) != 0) return std::nullopt;
        output.resize(output.size() - outLeft);
        return output;
    }

private:
    iconv_t cd_;
};

std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
    if (input.empty()) return std::string();
    Converter converter(to, from);
    if (!converter.Valid()) return std::nullopt;
    return converter.Convert(input);
}

std::optional<std::string> SystemEncode(unsigned codePage, std::string_view utf8) {
    return Convert(IconvName(codePage), "UTF-8", utf8);
}

std::optional<std::string> SystemDecode(unsigned codePage, std::string_view bytes) {
    return Convert("UTF-8", IconvName(codePage), bytes);
}

#endif

}  // namespace

std::optional<CodePage> CodePage::Parse(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "utf-8" || lower == "utf8") return Utf8();
    std::string_view digits = lower;
    for (std::string_view prefix : {"windows-", "cp"})
        if (digits.starts_with(prefix)) {
            digits.remove_prefix(prefix.size());
            break;
        }
    const auto number = ParseNumber(digits);
    if (!number) return std::nullopt;
    for (unsigned known : kNumbered)
        if (known == *number) return CodePage(known);
    return std::nullopt;
}

std::string CodePage::Name() const { return IsUtf8() ? "utf-8" : std::to_string(number_); }

std::optional<std::string> CodePage::Encode(std::string_view utf8) const {
    if (!IsValidUtf8(utf8)) return std::nullopt;
    if (IsUtf8()) return std::string(utf8);
    if (HasC1Control(utf8)) return std::nullopt;
    auto bytes = SystemEncode(number_, utf8);
    // An encoding that does not read back is not exact (a character mapped to a near relative).
    if (bytes && Decode(*bytes) != std::string(utf8)) return std::nullopt;
    return bytes;
}

std::optional<std::string> CodePage::Decode(std::string_view bytes) const {
    if (IsUtf8()) return IsValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    // Every code page of the table keeps ASCII as it is: most names need no conversion by the system.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    auto text = SystemDecode(number_, bytes);
    if (text && HasC1Control(*text)) return std::nullopt;
    return text;
}

namespace {

// The bytes as UTF-8, character by character (one byte, else a lead byte and its trail bytes),
// each byte the code page does not define replaced by what replace gives for it.
template <typename Replace>
std::string DecodeEach(const CodePage& page, std::string_view bytes, Replace replace) {
    if (auto whole = page.Decode(bytes)) return *whole;
    std::string shown;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t taken = 0;
        for (std::size_t length = 1; length <= 4 && pos + length <= bytes.size() && taken == 0; ++length) {
            if (auto c = page.Decode(bytes.substr(pos, length))) {
                shown += *c;
                taken = length;
            }
        }
        if (taken == 0) {
            shown += replace(static_cast<unsigned char>(bytes[pos]));
            taken = 1;
        }
        pos += taken;
    }
    return shown;
}

}  // namespace

std::string CodePage::DecodeForDisplay(std::string_view bytes) const {
    return DecodeEach(*this, bytes, [](unsigned char b) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", b);
        return std::string(hex);
    });
}

std::string CodePage::DecodeReplacing(std::string_view bytes, std::string_view replacement) const {
    return DecodeEach(*this, bytes, [replacement](unsigned char) { return std::string(replacement); });
}

const char* CodePageHelpText() {
    return "Code page of the entry names: 1250-1258, 437, 850, 866, 874, 932, 936, 949, 950 or utf-8 (default: 1252)";
}

std::string CannotStoreMessage(CodePage codePage) { return "name cannot be stored in code page " + codePage.Name(); }

}  // namespace qvx::cli
