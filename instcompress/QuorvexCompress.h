// TQuorvexCompress: the archive component. Given an archive file, an output stream and an entry
// name, it validates the archive header, recognises the archive's method, walks the entries and
// expands every entry of that name into the stream, verifying each entry's checksum.
//
// The component holds no archive state between calls; its properties keep their values for its
// lifetime. Each call runs on the caller's thread with its own codec engine, so several components
// may expand on several threads at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ArchiveFormat.h"
#include "Events.h"
#include "Stream.h"

namespace qvx {

// One entry as the walk reads it.
struct ArchiveEntry {
    EntryHeader Header;
    std::string Name;
    std::int64_t DataOffset = 0;  // position of the stored bytes in the archive stream
};

// Called for every entry the walk reaches; returns the stream to expand the entry into, or nullptr
// to skip it.
using TEntryVisitor = std::function<TStream*(const ArchiveEntry& entry)>;

class TQuorvexCompress {
public:
    // Published properties.
    const TCompressEvent& OnCompress() const noexcept { return onCompress_; }
    void SetOnCompress(TCompressEvent e) { onCompress_ = std::move(e); }
    const TExpandEvent& OnExpand() const noexcept { return onExpand_; }
    void SetOnExpand(TExpandEvent e) { onExpand_ = std::move(e); }
    const TFilenameCheckEvent& OnCheckFile() const noexcept { return onCheckFile_; }
    void SetOnCheckFile(TFilenameCheckEvent e) { onCheckFile_ = std::move(e); }
    const TRecognizeEvent& OnRecognize() const noexcept { return onRecognize_; }
    void SetOnRecognize(TRecognizeEvent e) { onRecognize_ = std::move(e); }
    const TShowProgressEvent& OnShowProgress() const noexcept { return onShowProgress_; }
    void SetOnShowProgress(TShowProgressEvent e) { onShowProgress_ = std::move(e); }
    const std::string& TargetPath() const noexcept { return targetPath_; }
    // Stores the path with a trailing backslash appended unless it is empty or already ends in one.
    void SetTargetPath(std::string path);
    bool MakeDirectories() const noexcept { return makeDirectories_; }
    void SetMakeDirectories(bool v) noexcept { makeDirectories_ = v; }
    bool ExceptionOnFileError() const noexcept { return exceptionOnFileError_; }
    void SetExceptionOnFileError(bool v) noexcept { exceptionOnFileError_ = v; }
    bool CheckSpaceBeforeExpand() const noexcept { return checkSpaceBeforeExpand_; }
    void SetCheckSpaceBeforeExpand(bool v) noexcept { checkSpaceBeforeExpand_ = v; }
    // Bytes by which compressed output must undercut its input (read by the codec engine).
    std::int32_t MinimumSaving() const noexcept { return minimumSaving_; }
    void SetMinimumSaving(std::int32_t v) noexcept { minimumSaving_ = v; }

    // Expands every entry named entryName (ASCII letters compared without case) from the archive
    // file into dest, in archive order, appending at dest's position. A name that does not occur
    // leaves dest untouched.
    void ExpandEntryByName(const std::string& archivePath, TStream& dest, const std::string& entryName);

    // Opens the archive file (read-exclusive) and walks its entries with the visitor.
    void WalkArchive(const std::string& archivePath, const TEntryVisitor& visitor);
    // The same walk over an open stream, from its current position.
    void WalkArchive(TStream& archive, const TEntryVisitor& visitor);

    // Building blocks of the walk.

    // Reads the archive header at the stream's position. Fewer than 21 bytes left read as the
    // default (empty) header; otherwise the magic, the archive type and the method are checked, in
    // that order. methodId receives the header's three-character identifier.
    void ReadArchiveHeader(TStream& stream, ArchiveHeader& header, std::string& methodId) const;
    static void MakeDefaultHeader(ArchiveHeader& header, const std::string& methodId, std::int32_t totalSize,
                                  std::uint8_t archiveType);
    // The method index of a header identifier: its MethodIds index, or cmCUS when OnRecognize
    // accepts it; otherwise raises EUnrecognizedCompressionMethod.
    std::uint8_t RecognizeMethod(const std::string& methodId) const;
    // Reads an entry header and its name; false when either cannot be read in full or the name
    // length is negative.
    static bool ReadEntryHeader(TStream& stream, EntryHeader& entry, std::string& name);
    // Expands one entry's stored bytes from source into dest and verifies the checksum.
    void ExpandEntry(TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t Destsize,
                     std::uint32_t storedChecksum, std::uint8_t method, const std::string& CompressID) const;

private:
    TCompressEvent onCompress_;
    TExpandEvent onExpand_;
    TFilenameCheckEvent onCheckFile_;
    TRecognizeEvent onRecognize_;
    TShowProgressEvent onShowProgress_;
    std::string targetPath_;
    bool makeDirectories_ = false;
    bool exceptionOnFileError_ = false;
    bool checkSpaceBeforeExpand_ = false;
    std::int32_t minimumSaving_ = 0;
};

// Entry names match when they have the same length and equal bytes, ASCII letters compared
// without case.
bool SameEntryName(const std::string& a, const std::string& b) noexcept;

}  // namespace qvx
