// CompressMethod: the compression methods of the archive format, by the index an entry header
// stores and the three-character identifier an archive header carries.
//
//   0 NON  stored as they are          3 CUS  the component user's own method (events)
//   1 RLE  run-length coding           4 LH5  LZSS, 8 KB window, static Huffman blocks
//   2 LZH  LZSS, 4 KB window, adaptive Huffman code
//
// An entry header's method byte may hold any value 0..255; values 5..255 name no method and
// expand to nothing. This header is the one place that tells defined methods from the others.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Export.h"

namespace qvx {

enum class CompressMethod : std::uint8_t { cmNON = 0, cmRLE = 1, cmLZH = 2, cmCUS = 3, cmLH5 = 4 };
using enum CompressMethod;

// The identifiers of the five methods, in index order.
inline constexpr std::array<std::string_view, 5> MethodIds = {"NON", "RLE", "LZH", "CUS", "LH5"};

// The method an entry header's method byte names (any byte converts; see IsDefinedMethod).
constexpr CompressMethod MethodFromIndex(std::uint8_t index) noexcept { return static_cast<CompressMethod>(index); }
// The byte an entry header stores for the method.
constexpr std::uint8_t MethodIndex(CompressMethod method) noexcept { return static_cast<std::uint8_t>(method); }

// True for the five methods of the format, false for index values 5..255.
constexpr bool IsDefinedMethod(CompressMethod method) noexcept { return MethodIndex(method) < MethodIds.size(); }

// True for the methods an archive writer compresses with: NON, LZH and LH5 (RLE can only be
// expanded, and CUS belongs to the component user).
constexpr bool IsWritableMethod(CompressMethod method) noexcept {
    return method == cmNON || method == cmLZH || method == cmLH5;
}

// The identifier of a defined method ("LH5"); empty for an undefined one.
constexpr std::string_view MethodId(CompressMethod method) noexcept {
    return IsDefinedMethod(method) ? MethodIds[MethodIndex(method)] : std::string_view{};
}

// The method whose identifier is exactly id (case-sensitive), if any.
constexpr std::optional<CompressMethod> MethodFromId(std::string_view id) noexcept {
    for (std::size_t i = 0; i < MethodIds.size(); ++i) {
        if (MethodIds[i] == id) return MethodFromIndex(static_cast<std::uint8_t>(i));
    }
    return std::nullopt;
}

// A method for display: its identifier, or "#<index>" for an undefined one ("#200").
INSTCOMPRESS_API std::string MethodName(CompressMethod method);

}  // namespace qvx
