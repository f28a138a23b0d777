// Putting the engine in place: expanded into a new file beside its final name, checked, sealed,
// checked again against a second expansion and renamed over that name. A file already at the name
// is replaced only by a complete, verified engine; a link there is never written through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <instcompress/Stream.h>

#include "LauncherFile.h"

namespace qvx::launcher {

// Places the engine entry of the staged archive as dir + "Quorvex.exe" and returns it sealed (held
// open for reading, nobody else may write or delete it). nullptr when no engine can be placed in
// dir: a link, reparse point, directory or other non-file holds the name, no file can be created
// in dir, the written file was taken away before it was sealed, or the rename fails; whatever was
// created is removed again. A damaged or missing engine entry raises (the archive component's
// errors, EEngineNotFound, EEngineCheckError), as does a file changed between its writing and its
// check; the file written is removed.
std::unique_ptr<LauncherFile> PlaceEngine(TStream& archive, const std::string& dir, std::uint32_t seed);

// Expands the engine entry once more and compares it with the file's contents from its start;
// raises EEngineCheckError when they differ in any byte or in length.
void VerifyEngineFile(TStream& archive, LauncherFile& engine);

}  // namespace qvx::launcher
