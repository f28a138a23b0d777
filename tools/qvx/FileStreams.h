// The streams the tool opens itself, on the platform layer's files (platform/FileStream.h), so
// that UTF-8 names work on every system: input files, standard input and output, and anonymous
// temporary files. Failures raise FileError with the system's reason.
#pragma once

#include <memory>
#include <string>

#include "platform/FileStream.h"

namespace qvx::cli {

using platform::FileStream;

// An existing file opened for reading, shared with other readers ("Is a directory", "No such
// file or directory", "File is in use by another program").
std::unique_ptr<FileStream> OpenReadFile(const std::string& path);

// Standard output as a binary stream (not owned).
std::unique_ptr<FileStream> StandardOutput();

// A new file in the temporary directory that no name leads to: it goes away with the stream.
// prefix starts the name it has while it is created. Raises FileError when it cannot be made.
std::unique_ptr<FileStream> AnonymousTemporaryFile(const std::string& prefix);

}  // namespace qvx::cli
