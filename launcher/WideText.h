// Names between the launcher and Windows: the system's names are UTF-16, the launcher's strings
// are bytes. They are held in WTF-8 (UTF-8 that also carries an unpaired surrogate as its three-byte
// form), so every name the system hands out converts back to exactly the same UTF-16, whatever the
// ANSI code page holds. Portable, so that it is tested on every system.
#pragma once

#include <string>
#include <string_view>

namespace qvx::launcher {

// UTF-16 to WTF-8. Surrogate pairs become four-byte sequences; a surrogate without its partner
// becomes its own three-byte sequence.
std::string TextFromWide(std::u16string_view wide);

// WTF-8 to UTF-16, the inverse of TextFromWide. A byte that starts no valid sequence becomes
// U+FFFD.
std::u16string WideFromText(std::string_view text);

}  // namespace qvx::launcher
