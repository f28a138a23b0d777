#include "platform/FileStreams.h"

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/FileError.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

std::unique_ptr<FileStream> OpenReadFile(const std::string& path) {
    std::unique_ptr<FileStream> stream;
    const int error = FileStream::Open(path, platform::OpenMode::Read, stream);
    if (error == EBUSY) throw platform::FileError(path, platform::kFileInUseText, EBUSY);
    if (error != 0) platform::ThrowSystemError(path, error);
    return stream;
}

std::unique_ptr<FileStream> OpenInputFile(const std::string& path) {
    if (path != "-") return OpenReadFile(path);
    auto in = FileStream::Standard(platform::StandardStream::Input);
    in->SetName("-");
    return in;
}

bool ReadsInPlace(FileStream& file, const std::string& path) {
    return file.IsRegularFile() && (path != "-" || file.Seek(0, SeekOrigin::Current) == 0);
}

std::unique_ptr<FileStream> SpoolToTemporaryFile(TStream& in, const std::string& prefix) {
    auto spool = AnonymousTemporaryFile(prefix);
    std::vector<std::uint8_t> piece(TStream::kCopyPieceSize);
    for (;;) {
        const std::int32_t n = in.Read(piece.data(), static_cast<std::int32_t>(piece.size()));
        if (n <= 0) break;
        spool->WriteBuffer(piece.data(), n);
    }
    spool->SetPosition(0);
    return spool;
}

std::unique_ptr<FileStream> AnonymousTemporaryFile(const std::string& prefix) {
    std::unique_ptr<FileStream> stream;
    const int error = FileStream::CreateAnonymous(prefix, stream);
    if (error != 0) platform::ThrowSystemError(platform::TemporaryDirectory() + "/" + prefix, error);
    return stream;
}

}  // namespace qvx::cli
