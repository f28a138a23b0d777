#include "cli/ErrorReport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include <instcompress/Exceptions.h>

#include "cli/Cli.h"
#include "platform/FileStreams.h"
#include "names/ShownText.h"
#include "cli/StandardStreams.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

// The path in a stream's open or create message ("Cannot open file <path>"), or file.
std::string PathOf(const std::string& message, std::string_view prefix, std::string_view file) {
    if (message.size() > prefix.size() && message.compare(0, prefix.size(), prefix) == 0)
        return message.substr(prefix.size());
    return std::string(file);
}

}  // namespace

std::string SystemMessage(int error) { return platform::ErrorText(error); }

void ThrowSystemError(const std::string& file, int error) { throw FileError(file, SystemMessage(error)); }

std::string WhyCannotOpen(const std::string& path) {
    try {
        OpenReadFile(path);
    } catch (const FileError& e) {
        return e.what();
    }
    return {};
}

std::string WhyCannotCreate(const std::string& path) {
    platform::FileStatus st;
    const bool exists = platform::GetStatus(path, st) == 0;
    if (exists && st.Type == platform::FileType::Directory) return SystemMessage(EISDIR);
    std::string parent = platform::Utf8Path(platform::PathFromUtf8(path).parent_path());
    if (parent.empty()) parent = ".";
    platform::FileStatus dir;
    if (const int error = platform::GetStatus(parent, dir); error != 0) return SystemMessage(error);
    if (dir.Type != platform::FileType::Directory) return SystemMessage(ENOTDIR);
    if (const int error = platform::CheckWritable(parent); error != 0) return SystemMessage(error);
    if (exists) {
        if (const int error = platform::CheckWritable(path); error != 0) return SystemMessage(error);
    }
    return {};
}

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
    } catch (const FileError& e) {
        return ErrorLine{e.File(), e.what()};
    } catch (const platform::StreamFailure& e) {
        return ErrorLine{e.File(), SystemMessage(e.Error())};
    } catch (const EFOpenError& e) {
        // The stream's message names the path but not the reason; the system still knows it.
        const std::string path = PathOf(e.Message(), "Cannot open file ", file);
        const std::string why = WhyCannotOpen(path);
        return ErrorLine{path, why.empty() ? e.Message() : why};
    } catch (const EFCreateError& e) {
        const std::string path = PathOf(e.Message(), "Cannot create file ", file);
        const std::string why = WhyCannotCreate(path);
        return ErrorLine{path, why.empty() ? e.Message() : why};
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
