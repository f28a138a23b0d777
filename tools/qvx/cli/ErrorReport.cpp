#include "cli/ErrorReport.h"

#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include <instcompress/Exceptions.h>

#include "cli/Cli.h"
#include "platform/FileStream.h"
#include "names/ShownText.h"
#include "cli/StandardStreams.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

// A stream of the library that could not be opened or created: the path and the system's reason
// it carries (in the words of the tool's own files: a file another opener holds is "in use"), or
// its own message about the file the caller names.
ErrorLine DescribeStreamError(const EFileError& e, std::string_view file) {
    const std::string path = e.FileName().empty() ? std::string(file) : e.FileName();
    const int error = platform::ErrorNumber(e.SystemError());
    if (error == 0) return ErrorLine{path, e.Message()};
    return ErrorLine{path, platform::IsFileInUse(error) ? platform::kFileInUseText : platform::SystemMessage(error)};
}

}  // namespace

void ReportError(std::string_view file, std::string_view message) {
    std::string line = "qvx: ";
    if (!file.empty()) {
        line += file;
        line += ": ";
    }
    line += message;
    // One line, whatever the message holds.
    line = ShownText(line);
    line += '\n';
    std::cout.flush();  // what the command printed before comes first
    std::cerr << line << std::flush;
}

std::optional<ErrorLine> DescribeCurrentException(std::string_view file) {
    const std::string here(file);
    try {
        throw;
    } catch (const StandardOutputLost&) {
        return std::nullopt;
    } catch (const platform::FileError& e) {
        return ErrorLine{e.File(), e.what()};
    } catch (const platform::StreamFailure& e) {
        return ErrorLine{e.File(), platform::SystemMessage(e.Error())};
    } catch (const EFileError& e) {
        return DescribeStreamError(e, file);
    } catch (const qvx::Exception& e) {
        return ErrorLine{here, e.Message()};
    } catch (const std::filesystem::filesystem_error& e) {
        return ErrorLine{e.path1().empty() ? here : platform::Utf8Path(e.path1()), e.code().message()};
    } catch (const std::system_error& e) {
        return ErrorLine{here, e.code().message()};
    } catch (const std::bad_alloc&) {
        return ErrorLine{here, "Out of memory"};
    } catch (const std::exception& e) {
        return ErrorLine{here, e.what()};
    }
}

int ReportCurrentException(std::string_view file) {
    if (const auto line = DescribeCurrentException(file)) ReportError(line->File, line->Message);
    return kExitDataError;
}

}  // namespace qvx::cli
