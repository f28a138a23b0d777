// The exception family of the system. Every class derives from qvx::Exception, which carries the
// message text; ClassName() gives the class's own name for error reports.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "Export.h"

namespace qvx {

class INSTCOMPRESS_API Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    // The message text, as shown to users ("Bad decode table in archive!").
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    // The class's own name ("ELZHBadDecodeTable"), for error reports.
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
};

// A file that could not be opened or created (the base of EFOpenError and EFCreateError). Besides
// the message it may carry the file's path and the system's error number (errno on POSIX systems,
// GetLastError() on Windows), so a caller can tell why without reading the message.
class INSTCOMPRESS_API EFileError : public Exception {
public:
    using Exception::Exception;
    EFileError(std::string message, std::string fileName, int systemError)
        : Exception(std::move(message)), fileName_(std::move(fileName)), systemError_(systemError) {}
    const char* ClassName() const noexcept override { return "EFileError"; }
    // The path, when the raiser gave it; empty otherwise.
    const std::string& FileName() const noexcept { return fileName_; }
    // Why the system refused (errno, or GetLastError() on Windows); 0 when not said.
    int SystemError() const noexcept { return systemError_; }

private:
    std::string fileName_;
    int systemError_ = 0;
};

// Declares an exception class derived from Base with its class name and its fixed message (empty
// for classes whose message always carries details); it takes Base's constructors as well.
#define QVX_EXCEPTION_CLASS_OF(Name, Base, DefaultMessage)                \
    class INSTCOMPRESS_API Name : public Base {                           \
    public:                                                               \
        Name() : Base(DefaultMessage) {}                                  \
        using Base::Base;                                                 \
        const char* ClassName() const noexcept override { return #Name; } \
    };
#define QVX_EXCEPTION_CLASS(Name, DefaultMessage) QVX_EXCEPTION_CLASS_OF(Name, Exception, DefaultMessage)

// Streams.
QVX_EXCEPTION_CLASS_OF(EFOpenError, EFileError, "Cannot open file")
QVX_EXCEPTION_CLASS_OF(EFCreateError, EFileError, "Cannot create file")
QVX_EXCEPTION_CLASS(EReadError, "Stream read error")
QVX_EXCEPTION_CLASS(EWriteError, "Stream write error")

// Archives and codecs.
QVX_EXCEPTION_CLASS(EInvalidHeader, "Can't recognize compressed file header")
QVX_EXCEPTION_CLASS(EInvalidHeaderArchiveType, "Archive type must be caMulti")
QVX_EXCEPTION_CLASS(EUnrecognizedCompressionMethod, "Unrecognized compression method")
QVX_EXCEPTION_CLASS(EBadChecksum, "Bad checksum during expansion -- data may be invalid")
QVX_EXCEPTION_CLASS(ELZHBadDecodeTable, "Bad decode table in archive!")
QVX_EXCEPTION_CLASS(EUnableToCompress, "Could not compress data")

// Sizes outside the format: a negative entry size, entry sizes whose sum leaves the signed 32-bit
// range, a negative source size given to the codec engine, an archive too large to write.
QVX_EXCEPTION_CLASS(EInvalidSize, "Invalid size in archive")

// A progress handler cancelled the writing of an archive entry.
QVX_EXCEPTION_CLASS(EOperationCancelled, "Operation cancelled")

// Compressed data that does not give its entry: the decoder needs bits past the end of the stored
// bytes, or the data expands to more or fewer bytes than the entry's expanded size.
QVX_EXCEPTION_CLASS(EDataError, "compressed data does not match the entry")

// An archive cut short: the entries end before the header's total size is reached, or an entry's
// stored bytes run past the end of the archive.
QVX_EXCEPTION_CLASS(ETruncatedArchive, "archive is truncated")

// A CUS entry met with no OnExpand handler to expand it.
QVX_EXCEPTION_CLASS(ECustomMethodUnavailable, "entry uses a custom method and no OnExpand handler is set")

#undef QVX_EXCEPTION_CLASS
#undef QVX_EXCEPTION_CLASS_OF

// The message of EUnrecognizedCompressionMethod raised for an unknown header identifier.
INSTCOMPRESS_API std::string UnrecognizedMethodMessage(const std::string& methodId);

// The messages of the faults above, as the library raises them.
// EDataError: the decoder used bits past the end of the entry's stored bytes.
inline constexpr char kDataEndsEarlyMessage[] = "compressed data ends before the entry is complete";
// EDataError: the decoder produced more bytes than the entry's expanded size.
inline constexpr char kDataRunsPastSizeMessage[] = "compressed data expands past the entry's size";
// ETruncatedArchive: a read of an entry's stored bytes came back short.
inline constexpr char kStoredPastEndMessage[] = "stored bytes run past the end of the archive";
// EUnrecognizedCompressionMethod for an entry whose method index is 5 or more
// ("unknown compression method 200").
INSTCOMPRESS_API std::string UnknownEntryMethodMessage(unsigned methodIndex);

}  // namespace qvx
