// The unhandled-exception report: the title "Application Error" and the text
// "Exception %s in module %s at %p.\n%s%s" filled with the exception's class name, the module's
// file name without its directory, the failure address relative to the module base (eight hex
// digits), the message, and "." when the message is not empty and does not end with one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::launcher {

inline constexpr char kErrorReportTitle[] = "Application Error";

std::string FormatErrorReport(std::string_view className, std::string_view moduleName, std::uintptr_t address,
                              std::string_view message);

// The part of a path after its last "\" or "/" (and, after a drive letter, ":").
std::string_view ModuleBaseName(std::string_view path) noexcept;

}  // namespace qvx::launcher
