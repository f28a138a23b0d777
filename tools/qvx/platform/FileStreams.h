// The streams the tool opens itself, on the platform layer's files (platform/FileStream.h), so
// that UTF-8 names work on every system: input files and anonymous temporary files. Failures to
// open raise FileError with the system's reason; a failed read or write raises
// platform::StreamFailure naming the stream. Standard output: StandardStreams.h.
#pragma once

#include <memory>
#include <string>

#include "platform/FileStream.h"

namespace qvx::cli {

using platform::FileStream;

// An existing file opened for reading, shared with other readers ("Is a directory", "No such
// file or directory", "File is in use by another program").
std::unique_ptr<FileStream> OpenReadFile(const std::string& path);

// A new file in the temporary directory that no name leads to: it goes away with the stream.
// prefix starts the name it has while it is created. Raises FileError when it cannot be made.
std::unique_ptr<FileStream> AnonymousTemporaryFile(const std::string& prefix);

}  // namespace qvx::cli
