// TFileStream: a stream on a file, opened in one of three modes.
//
//   ReadShared     read access; other openers may read and write.
//   ReadExclusive  read access; no other opener may hold the file at the same time.
//   Create         create or truncate; read and write access; no sharing.
//
// On Windows these are the CreateFileA share modes. On POSIX the sharing is emulated with
// non-blocking flock() locks (shared for ReadShared, exclusive otherwise), which gives the same
// answers between cooperating openers: two read-shared openers coexist, an exclusive opener
// excludes everyone else.
//
// A failed open raises EFOpenError "Cannot open file <path>", a failed create EFCreateError
// "Cannot create file <path>". Destroying the stream closes the file.
#pragma once

#include <cstdint>
#include <string>

#include "Export.h"
#include "Stream.h"

namespace qvx {

enum class FileMode { ReadShared, ReadExclusive, Create };

class INSTCOMPRESS_API TFileStream final : public TStream {
public:
    TFileStream(const std::string& path, FileMode mode);
    ~TFileStream() override;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    const std::string& FileName() const noexcept { return path_; }

private:
    std::string path_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace qvx
