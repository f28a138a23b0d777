// TQuorvexCompress: the archive component. Given an archive file, an output stream and an entry
// name, it validates the archive header, recognises the archive's method, walks the entries and
// expands every entry of that name into the stream, verifying each entry's checksum.
//
// The component holds no archive state between calls; its properties keep their values for its
// lifetime. Each call runs on the caller's thread with its own codec engine, so several components
// may expand on several threads at once (one component is not meant for two threads at once).
// ArchiveWalker.h offers the walk itself, for programs that list or pick entries.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"
#include "CodecSettings.h"
#include "CompressMethod.h"
#include "Events.h"
#include "Export.h"
#include "Stream.h"

namespace qvx {

class INSTCOMPRESS_API TQuorvexCompress {
public:
    // Published properties. Each is readable and assignable; every one starts unset, false or
    // empty.

    // Declared for compressing users of the component; no operation of the library calls it.
    const TCompressEvent& OnCompress() const noexcept { return onCompress_; }
    void SetOnCompress(TCompressEvent e) { onCompress_ = std::move(e); }
    // Expands CUS entries: it must write the expanded data to dest, consume exactly Sourcesize
    // bytes of source and return the checksum it computed. Unset: CUS entries expand to nothing.
    const TExpandEvent& OnExpand() const noexcept { return onExpand_; }
    void SetOnExpand(TExpandEvent e) { onExpand_ = std::move(e); }
    // Declared for users of the component; no operation of the library calls it.
    const TFilenameCheckEvent& OnCheckFile() const noexcept { return onCheckFile_; }
    void SetOnCheckFile(TFilenameCheckEvent e) { onCheckFile_ = std::move(e); }
    // Asked about header identifiers outside the method table; recognized = true makes the
    // identifier count as CUS.
    const TRecognizeEvent& OnRecognize() const noexcept { return onRecognize_; }
    void SetOnRecognize(TRecognizeEvent e) { onRecognize_ = std::move(e); }
    // Handed to the codec engine for every RLE, LZH and LH5 entry (see CodecSettings).
    const TShowProgressEvent& OnShowProgress() const noexcept { return onShowProgress_; }
    void SetOnShowProgress(TShowProgressEvent e) { onShowProgress_ = std::move(e); }
    // Stored with a trailing backslash appended unless it is empty or already ends in one; no
    // operation of the library reads it.
    const std::string& TargetPath() const noexcept { return targetPath_; }
    void SetTargetPath(std::string path);
    // Stored only: no operation of the library reads these three.
    bool MakeDirectories() const noexcept { return makeDirectories_; }
    void SetMakeDirectories(bool v) noexcept { makeDirectories_ = v; }
    bool ExceptionOnFileError() const noexcept { return exceptionOnFileError_; }
    void SetExceptionOnFileError(bool v) noexcept { exceptionOnFileError_ = v; }
    bool CheckSpaceBeforeExpand() const noexcept { return checkSpaceBeforeExpand_; }
    void SetCheckSpaceBeforeExpand(bool v) noexcept { checkSpaceBeforeExpand_ = v; }
    // Whether ExpandEntry verifies the checksum of a NON (stored) entry whose stored checksum is not
    // 0 (a writer that records no sum for stored entries leaves 0 there). On by default; turn it off
    // for archives from a writer that puts something else in that field.
    bool VerifyStoredChecksums() const noexcept { return verifyStoredChecksums_; }
    void SetVerifyStoredChecksums(bool v) noexcept { verifyStoredChecksums_ = v; }

    // Unpublished settings of the codec engine.

    // Bytes by which compressed output must undercut its input (read when RunCodec compresses
    // with this component's settings); 0 by default.
    std::int32_t MinimumSaving() const noexcept { return minimumSaving_; }
    void SetMinimumSaving(std::int32_t v) noexcept { minimumSaving_ = v; }
    // The yield between blocks of every codec request (YieldTimeSlice by default; empty: none).
    const YieldHook& Yield() const noexcept { return yield_; }
    void SetYield(YieldHook hook) { yield_ = std::move(hook); }

    // The codec settings of this component: its OnShowProgress, MinimumSaving and yield hook, with
    // checked expansion (CodecSettings::CheckedExpansion).
    CodecSettings Settings() const;

    // Expands every entry named entryName (same length, equal bytes, ASCII letters compared
    // without case) from the archive file into dest, in archive order, appending at dest's
    // position. A name that does not occur leaves dest untouched and raises nothing. The archive
    // is opened read-exclusive and closed on every path. The whole archive is walked, with the
    // checks of ArchiveWalker (a truncated archive, sizes that disagree) and of ExpandEntry for the
    // entries expanded. Errors: EFOpenError, the header faults of ReadArchiveHeader, the faults of
    // ArchiveWalker::Next and of ExpandEntry, and the streams' errors.
    void ExpandEntryByName(const std::string& archivePath, TStream& dest, const std::string& entryName);

    // The steps of the walk, usable on their own.

    // Reads the archive header at the stream's position. Fewer than 21 bytes left read as the
    // default (empty) header and nothing is validated; otherwise EInvalidHeader (magic),
    // EInvalidHeaderArchiveType (type not 1), EUnrecognizedCompressionMethod and EInvalidSize (a
    // negative TotalSize) are checked, in that order. methodId receives the header's
    // three-character identifier. A stream whose Size() is negative (one that cannot tell it, such as
    // a pipe) is read forward instead: the header's bytes are read, and fewer than 21 before its end
    // give the default header.
    void ReadArchiveHeader(TStream& stream, ArchiveHeader& header, std::string& methodId) const;
    // Fills header with the magic, methodId's first three characters, totalSize and archiveType.
    static void MakeDefaultHeader(ArchiveHeader& header, const std::string& methodId, std::int32_t totalSize,
                                  std::uint8_t archiveType);
    // The method of a header identifier: the one of MethodIds it equals (case-sensitive), or CUS
    // when OnRecognize accepts it; otherwise raises EUnrecognizedCompressionMethod.
    CompressMethod RecognizeMethod(const std::string& methodId) const;
    // Reads an entry header and its name at the stream's position; false when either cannot be
    // read in full or the name length is negative.
    static bool ReadEntryHeader(TStream& stream, EntryHeader& entry, std::string& name);
    // Expands one entry's Sourcesize stored bytes from source into dest by method, then raises
    // EBadChecksum when the checksum of the expanded data differs from storedChecksum (raised after
    // the bytes were written). A NON entry must have Destsize equal to Sourcesize (EInvalidSize,
    // before anything is copied); its checksum is verified unless it is 0 or VerifyStoredChecksums
    // is off. RLE, LZH and LH5 run as a checked expansion (CodecSettings::CheckedExpansion: EDataError
    // when the stored bytes do not give exactly Destsize bytes); a cancelled one raises EBadChecksum.
    // A source that runs short raises ETruncatedArchive. CompressID is handed to OnExpand for CUS
    // entries; a CUS entry without OnExpand raises ECustomMethodUnavailable, an entry of an undefined
    // method EUnrecognizedCompressionMethod ("unknown compression method 200"), both before
    // anything is read.
    void ExpandEntry(TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t Destsize,
                     std::uint32_t storedChecksum, CompressMethod method, const std::string& CompressID) const;

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
    bool verifyStoredChecksums_ = true;
    std::int32_t minimumSaving_ = 0;
    YieldHook yield_ = YieldTimeSlice;
};

// Entry names match when they have the same length and equal bytes, ASCII letters compared
// without case.
INSTCOMPRESS_API bool SameEntryName(const std::string& a, const std::string& b) noexcept;

}  // namespace qvx
