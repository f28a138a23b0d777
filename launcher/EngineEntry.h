// The engine entry of the first payload archive, expanded as the launcher expands it. The build
// tool reads a setup file back through the same functions before it writes it.
#pragma once

#include <cstdint>
#include <string>

#include <instcompress/Events.h>
#include <instcompress/Stream.h>

namespace qvx::launcher {

inline constexpr char kEngineFileName[] = "Quorvex.exe";
inline constexpr char kEngineEntryName[] = "Installer\\Quorvex.exe";

// Expands every entry named entryName (ASCII letters compared without case) of the archive read
// from archive's position into dest, in archive order, verifying each; returns how many there were.
// The archive component's errors pass to the caller.
int ExtractEntryToStream(TStream& archive, TStream& dest, const std::string& entryName, TShowProgressEvent progress);

// Expands the engine entry of the archive (read from position 0) into dest and checks that it is
// there (EEngineNotFound) and complete: dest received exactly the expanded size the entries
// declare (EEngineCheckError). Returns that size. dest must report its position.
std::int64_t ExpandEngineEntry(TStream& archive, TStream& dest);

}  // namespace qvx::launcher
