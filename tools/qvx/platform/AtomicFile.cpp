#include "platform/AtomicFile.h"

#include <cerrno>
#include <string>

#include <instcompress/Exceptions.h>

#include "platform/FileError.h"
#include "platform/Utf8.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

// ".<name>.qvx-", the name shortened (at a character boundary) so that a temporary name stays a
// valid file name.
std::string TemporaryPrefix(const std::string& name) {
    std::size_t end = 0;
    while (end < name.size()) {
        std::size_t next = end;
        if (!NextCodePoint(name, &next)) next = end + 1;
        if (next > 64) break;
        end = next;
    }
    // Built by appending only: GCC 12 warns falsely about "literal" + std::string at -O3.
    std::string prefix(1, '.');
    prefix.append(name, 0, end).append(".qvx-");
    return prefix;
}

// Whether path names an existing device, FIFO or socket (links followed).
bool IsSpecialFile(const std::string& path) {
    platform::FileStatus status;
    return platform::GetStatus(path, status) == 0 && status.Type == platform::FileType::Other;
}

constexpr const char* kFileExists = "File exists (use -f to overwrite)";

}  // namespace

unsigned DefaultFileMode() { return platform::DefaultFileMode(); }

AtomicFile::AtomicFile(std::filesystem::path target) : display_(platform::Utf8Path(target)) {
    if (IsSpecialFile(display_)) {
        const int error = FileStream::Open(display_, platform::OpenMode::WriteExisting, inPlace_);
        if (error != 0) platform::ThrowSystemError(display_, error);
        collected_ = AnonymousTemporaryFile("qvx-out");
        return;
    }
    name_ = platform::Utf8Path(target.filename());
    const std::filesystem::path parent = target.parent_path();
    std::shared_ptr<platform::Directory> directory;
    // The directory the user named, links followed.
    const int error =
        platform::Directory::Open(parent.empty() ? std::string(".") : platform::Utf8Path(parent), directory);
    if (error != 0) platform::ThrowSystemError(display_, error);
    CreateIn(directory);
}

AtomicFile::AtomicFile(const std::shared_ptr<platform::Directory>& directory, std::string name)
    : display_(directory->ChildPath(name)), name_(std::move(name)) {
    CreateIn(directory);
}

void AtomicFile::CreateIn(const std::shared_ptr<platform::Directory>& directory) {
    const int error = directory->CreateTemporary(TemporaryPrefix(name_), temporary_);
    if (error != 0) platform::ThrowSystemError(display_, error);
    temporary_->Stream().SetName(display_);  // a failed write is about the file being written, not its temporary name
}

AtomicFile::~AtomicFile() = default;

TStream& AtomicFile::Stream() noexcept {
    if (collected_) return *collected_;
    return temporary_->Stream();
}

void AtomicFile::Commit(bool overwrite) {
    if (WritesInPlace()) {
        if (!overwrite) throw platform::FileError(display_, kFileExists, EEXIST);
        const std::int64_t size = collected_->Size();
        collected_->SetPosition(0);
        try {
            inPlace_->CopyFrom(*collected_, size);
        } catch (const EWriteError&) {
            const int error = platform::LastError();
            throw platform::FileError(display_, error != 0 ? platform::SystemMessage(error) : "Write error", error);
        }
        collected_.reset();
        inPlace_.reset();
        return;
    }
    if (!temporary_) throw platform::FileError(display_, "already committed");
    unsigned mode = platform::DefaultFileMode();
    if (executable_) mode |= (mode & 0444u) >> 2;
    if (readOnly_) mode &= ~0222u;
    std::uint32_t attributes = attributes_ & ~platform::kReadOnlyAttribute;
    if (readOnly_) attributes |= platform::kReadOnlyAttribute;
    if (const int error = temporary_->SetAttributes(mode, attributes, mtime_); error != 0)
        platform::ThrowSystemError(display_, error);
    if (sync_) {
        if (const int error = temporary_->Sync(); error != 0) platform::ThrowSystemError(display_, error);
    }
    const int error = temporary_->CommitAs(name_, overwrite);
    if (error == EEXIST && !overwrite) throw platform::FileError(display_, kFileExists, EEXIST);
    if (error != 0) platform::ThrowSystemError(display_, error);
    temporary_.reset();
}

}  // namespace qvx::cli
