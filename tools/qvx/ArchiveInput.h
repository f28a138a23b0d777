// Opening the archive a reading command (list, test, cat, extract) works on.
#pragma once

#include <memory>
#include <string>

#include <instcompress/Stream.h>

namespace qvx::cli {

// The archive named on the command line, as a stream positioned at the archive's first byte.
// Raises the file stream's errors when it cannot be opened.
std::unique_ptr<TStream> OpenArchiveInput(const std::string& path);

}  // namespace qvx::cli
