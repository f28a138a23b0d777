// Names and other text shown to a person. A crafted archive must not reach the terminal with
// control characters (ESC, BEL, CR, ...) that rewrite what the user sees, and a byte that does not
// decode must not look like a name's "\" separator. So control characters show in caret notation
// as "cat -v" shows them (ESC as "^[", CR as "^M", DEL as "^?"); the C1 controls U+0080-U+009F,
// and bytes that are not UTF-8 or that the code page does not define, show as "?" as "ls -q" shows
// them. Listings, extract -v, setup info, progress lines and every error message go through here;
// patterns match the stored names, JSON gives them with its own escapes, files get them as they
// are.
#pragma once

#include <string>
#include <string_view>

#include "names/CodePage.h"

namespace qvx::cli {

// UTF-8 text (a path, a message) as it may be shown.
std::string ShownText(std::string_view utf8);

// An entry name's stored bytes, decoded from the code page, as they may be shown.
std::string ShownName(const CodePage& names, std::string_view stored);

}  // namespace qvx::cli
