// The version information of a Windows program (RT_VERSION): what Explorer's Details tab and
// GetFileVersionInfo/VerQueryValue show.
//
//   block            u16 wLength (the block with its children), u16 wValueLength, u16 wType
//                    (1 text, 0 binary), the key in UTF-16 with its terminating 0, zero bytes to
//                    a 4-byte boundary, the value, zero bytes to a 4-byte boundary, the children
//   VS_VERSIONINFO   key "VS_VERSION_INFO", value VS_FIXEDFILEINFO (52 bytes: u32 0xFEEF04BD,
//                    u32 structure version, u32 file version high and low, u32 product version
//                    high and low, flags mask, flags, OS, type, subtype, date high and low);
//                    children "StringFileInfo" and "VarFileInfo"
//   StringFileInfo   one child per language: key the language and code page in 8 hex digits
//                    ("040904B0"), whose children are the strings: key the name, value the text
//                    with its terminating 0 (wValueLength counts UTF-16 units)
//   VarFileInfo      child "Translation": pairs of u16 language, u16 code page
//
// A text value's length in units and a binary value's in bytes; every wLength fits 16 bits, so
// the whole resource is at most 65535 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/branding/LittleEndian.h"

namespace qvx::branding {

// A version of up to four numbers 0-65535, "2", "2.3", "2.3.4" or "2.3.4.5"; the missing ones are 0.
struct VersionNumber {
    std::array<std::uint16_t, 4> Parts{};
    std::string Text;  // as it was given
};

// The version in text, or nothing with why in *why.
std::optional<VersionNumber> ParseVersionNumber(std::string_view text, std::string* why);

// "2.3.4.5"
std::string VersionText(const std::array<std::uint16_t, 4>& parts);

struct VersionEdits {
    std::optional<VersionNumber> FileVersion;     // FILEVERSION
    std::optional<VersionNumber> ProductVersion;  // PRODUCTVERSION
    // Strings set in every language block, in order (a later one of the same key wins); keys are
    // matched ignoring the case of ASCII letters. UTF-8.
    std::vector<std::pair<std::string, std::string>> Strings;
};

// Why a string of that key and value cannot be held by the version information; empty when it
// can (the string's own block fits 16 bits, and the text is UTF-8).
std::string VersionStringFault(std::string_view key, std::string_view value);

// The version information with the edits applied: existing is the program's resource, or empty
// when it has none (a new one holds language 0409, code page 1200 (UTF-16)). Every other block,
// string and language stays as it was. Raises BrandingError when existing is damaged or the
// result does not fit the format.
Bytes EditVersionResource(ByteSpan existing, const VersionEdits& edits);

struct VersionSummary {
    std::array<std::uint16_t, 4> FileVersion{};
    std::array<std::uint16_t, 4> ProductVersion{};
    struct Table {
        std::string Language;  // "040904B0"
        std::vector<std::pair<std::string, std::string>> Strings;
    };
    std::vector<Table> Tables;
};

// Reads version information; raises BrandingError when it is damaged.
VersionSummary ReadVersionResource(ByteSpan resource);

}  // namespace qvx::branding
