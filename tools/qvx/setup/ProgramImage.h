// What the first bytes of an input say it is: an archive (the magic "SPIS" 0x1A), a program image
// (a Windows program's "MZ", an ELF program's "\x7F" "ELF"), which may be a setup file, or
// anything else, which the reading commands refuse at once as "not an archive". And where a
// program image ends: the size marker of a setup file is looked for within the image only, so
// that a large file or an endless device that merely starts like a program is not read through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qvx::cli {

enum class InputKind { Archive, Program, Other };

// Bytes enough to tell the kind.
inline constexpr std::size_t kKindBytes = 5;

// The kind of an input from its first bytes (fewer than kKindBytes: all there is).
InputKind KindOf(std::span<const std::uint8_t> first);

struct ImageExtent {
    std::int64_t End = -1;  // where the image ends in the file, at most 2^31 - 1; -1 with Fault
    std::string Fault;
};

// Where the program image that starts with head (the first pe::kHeadSize bytes of the file, or
// all of them) ends: PE, the end of its headers or of its last section's bytes; ELF, the end of
// what its headers describe. A payload offset is below 2^31, so the extent is never larger.
ImageExtent ProgramImageExtent(std::span<const std::uint8_t> head);

}  // namespace qvx::cli
