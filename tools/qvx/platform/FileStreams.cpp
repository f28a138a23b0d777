#include "platform/FileStreams.h"

#include <cerrno>

#include "cli/ErrorReport.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

std::unique_ptr<FileStream> OpenReadFile(const std::string& path) {
    std::unique_ptr<FileStream> stream;
    const int error = FileStream::Open(path, platform::OpenMode::Read, stream);
    if (error == EBUSY) throw FileError(path, "File is in use by another program");
    if (error != 0) ThrowSystemError(path, error);
    return stream;
}

std::unique_ptr<FileStream> AnonymousTemporaryFile(const std::string& prefix) {
    std::unique_ptr<FileStream> stream;
    const int error = FileStream::CreateAnonymous(prefix, stream);
    if (error != 0) ThrowSystemError(platform::TemporaryDirectory() + "/" + prefix, error);
    return stream;
}

}  // namespace qvx::cli
