#include "ErrorReport.h"

namespace qvx::launcher {

std::string FormatErrorReport(std::string_view className, std::string_view moduleName, std::uintptr_t address,
                              std::string_view message) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    char digits[8];
    const auto value = static_cast<std::uint32_t>(address);
    for (int i = 0; i < 8; ++i) digits[i] = kHex[(value >> (28 - 4 * i)) & 0xF];

    std::string text;
    text.reserve(64 + className.size() + moduleName.size() + message.size());
    text.append("Exception ").append(className).append(" in module ").append(moduleName).append(" at ");
    text.append(digits, sizeof digits).append(".\n").append(message);
    if (!message.empty() && message.back() != '.') text.push_back('.');
    return text;
}

std::string_view ModuleBaseName(std::string_view path) noexcept {
    const auto cut = path.find_last_of("\\/:");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace qvx::launcher
