#include "AtomicFile.h"

#include <cerrno>
#include <string>

#include <instcompress/Exceptions.h>

#include "ErrorReport.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

// ".<name>.qvx-", the name shortened so that a temporary name stays a valid file name.
std::string TemporaryPrefix(const std::string& name) {
    std::string prefix = name;
    if (prefix.size() > 64) prefix.resize(64);
    return "." + prefix + ".qvx-";
}

// Whether path names an existing device, FIFO or socket (links followed).
bool IsSpecialFile(const std::string& path) {
    platform::FileStatus status;
    return platform::GetStatus(path, status) == 0 && status.Type == platform::FileType::Other;
}

}  // namespace

unsigned DefaultFileMode() { return platform::DefaultFileMode(); }

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    const std::string name = platform::Utf8Path(target_);
    if (IsSpecialFile(name)) {
        const int error = FileStream::Open(name, platform::OpenMode::WriteExisting, inPlace_);
        if (error != 0) ThrowSystemError(name, error);
        stream_ = AnonymousTemporaryFile("qvx-out");
        return;
    }
    const std::filesystem::path parent = target_.parent_path();
    const std::string dir = parent.empty() ? std::string(".") : platform::Utf8Path(parent);
    std::string temporary;
    const int error = FileStream::CreateTemporary(dir, TemporaryPrefix(platform::Utf8Path(target_.filename())),
                                                  temporary, stream_);
    if (error != 0) ThrowSystemError(name, error);
    stream_->SetName(name);  // a failed write is about the file being written, not its temporary name
    temporary_ = platform::PathFromUtf8(temporary);
}

AtomicFile::~AtomicFile() {
    if (!committed_) Discard();
}

void AtomicFile::Discard() noexcept {
    stream_.reset();
    if (!temporary_.empty()) platform::RemoveFile(platform::Utf8Path(temporary_));
}

void AtomicFile::Commit(bool overwrite) {
    const std::string name = platform::Utf8Path(target_);
    if (WritesInPlace()) {
        if (!overwrite) throw FileError(name, "File exists (use -f to overwrite)");
        const std::int64_t size = stream_->Size();
        stream_->SetPosition(0);
        try {
            inPlace_->CopyFrom(*stream_, size);
        } catch (const EWriteError&) {
            const int error = platform::LastError();
            throw FileError(name, error != 0 ? SystemMessage(error) : "Write error");
        }
        stream_.reset();
        inPlace_.reset();
        committed_ = true;
        return;
    }
    unsigned mode = platform::DefaultFileMode();
    if (executable_) mode |= (mode & 0444u) >> 2;
    if (readOnly_) mode &= ~0222u;
    std::uint32_t attributes = attributes_ & ~platform::kReadOnlyAttribute;
    if (readOnly_) attributes |= platform::kReadOnlyAttribute;
    if (const int error = stream_->SetAttributes(mode, attributes, mtime_); error != 0) ThrowSystemError(name, error);
    if (const int error = stream_->FlushAndClose(); error != 0) ThrowSystemError(name, error);
    stream_.reset();
    const int error = platform::RenameFile(platform::Utf8Path(temporary_), name, overwrite);
    if (error == EEXIST && !overwrite) throw FileError(name, "File exists (use -f to overwrite)");
    if (error != 0) ThrowSystemError(name, error);
    committed_ = true;
}

}  // namespace qvx::cli
