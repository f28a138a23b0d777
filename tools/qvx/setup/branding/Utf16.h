// UTF-16, the text of Windows resources (names, version strings), to and from the tool's UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvx::branding {

// The UTF-16 form of UTF-8 text; nothing when the text is not well-formed UTF-8.
std::optional<std::u16string> ToUtf16(std::string_view utf8);

// The UTF-8 form of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

}  // namespace qvx::branding
