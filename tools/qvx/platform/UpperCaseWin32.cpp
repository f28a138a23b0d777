#include "UpperCase.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "NativePath.h"

namespace qvx::platform {

void AppendUpperCase(std::string& out, std::string_view utf8) {
    std::wstring wide = Widen(utf8);
    if (wide.empty()) return;
    // A simple mapping keeps the length.
    std::wstring upper(wide.size(), L'\0');
    const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                                  upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (n > 0) {
        upper.resize(static_cast<std::size_t>(n));
        wide = std::move(upper);
    }
    out += Narrow(wide);
}

}  // namespace qvx::platform
