// UTF-8, the encoding the tool works in: names on POSIX systems, and on Windows the names the
// system gives in UTF-16 once converted at the system boundary.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::cli {

// The code point starting at text[*pos], advancing *pos past it; std::nullopt (and *pos left
// alone) for a byte that does not start a well-formed sequence: a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate or a value above U+10FFFF.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t* pos);

// Whether the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// The number of UTF-16 code units the text takes (two for a code point above U+FFFF, one for each
// byte that is not well-formed UTF-8).
std::size_t Utf16Length(std::string_view text);

// Appends the UTF-8 form of a code point (U+0000-U+10FFFF, no surrogates).
void AppendUtf8(std::string& out, char32_t c);

}  // namespace qvx::cli
