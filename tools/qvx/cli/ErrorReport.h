// Error reporting of the qvx tool: every failure is one line on stderr in one style,
// "qvx: <file>: <message>" (or "qvx: <message>" when no file is concerned), where the message says
// why: the library's own text for damaged data ("Bad checksum during expansion -- data may be
// invalid"), the operating system's text for a file that cannot be used ("No such file or
// directory", "Is a directory", "Permission denied"), or the tool's own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/FileError.h"

namespace qvx::cli {

// Writes "qvx: <file>: <message>" (or "qvx: <message>" when file is empty) as one line to stderr,
// shown as ShownText shows text: control characters cannot reach the terminal.
void ReportError(std::string_view file, std::string_view message);

// What ReportCurrentException reports: the file and the message.
struct ErrorLine {
    std::string File;
    std::string Message;
};

// The exception being handled as the line to report, about file unless it names a file of its own
// (a FileError, a stream that could not be opened, created, read or written); std::nullopt when
// it needs no line (standard output was lost: StandardStreams reports that). Call only from a
// catch block.
std::optional<ErrorLine> DescribeCurrentException(std::string_view file);

// Reports the exception being handled (DescribeCurrentException) and returns the data-error exit
// code. Call only from a catch block.
int ReportCurrentException(std::string_view file);

}  // namespace qvx::cli
