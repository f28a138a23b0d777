// UpperCase: characters mapped to upper case the way Windows' file systems compare names, one
// character for one (the simple upper-case mapping, never "ß" to "SS").
//
// On Windows the system's own mapping (LCMapStringEx, LCMAP_UPPERCASE, invariant locale;
// UpperCaseWin32.cpp). Elsewhere Unicode's simple upper-case mappings of every character that has
// one, in a table generated at build time from the Unicode Character Database's UnicodeData.txt
// (cmake/UpperCaseTable.cmake; UpperCaseTable.cpp).
#pragma once

#include <string>
#include <string_view>

namespace qvx::platform {

// Appends the upper-case form of well-formed UTF-8 text.
void AppendUpperCase(std::string& out, std::string_view utf8);

}  // namespace qvx::platform
