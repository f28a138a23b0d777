#include "ErrorReport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include <instcompress/Exceptions.h>

#include "Cli.h"
#include "FileStreams.h"
#include "platform/Console.h"
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
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    std::cout.flush();  // what the command printed before comes first
    platform::WriteError(line);
}

int ReportCurrentException(std::string_view file) {
    try {
        throw;
    } catch (const FileError& e) {
        ReportError(e.File(), e.what());
    } catch (const EFOpenError& e) {
        // The stream's message names the path but not the reason; the system still knows it.
        const std::string path = PathOf(e.Message(), "Cannot open file ", file);
        const std::string why = WhyCannotOpen(path);
        ReportError(path, why.empty() ? e.Message() : why);
    } catch (const EFCreateError& e) {
        const std::string path = PathOf(e.Message(), "Cannot create file ", file);
        const std::string why = WhyCannotCreate(path);
        ReportError(path, why.empty() ? e.Message() : why);
    } catch (const qvx::Exception& e) {
        ReportError(file, e.Message());
    } catch (const std::filesystem::filesystem_error& e) {
        ReportError(e.path1().empty() ? std::string(file) : platform::Utf8Path(e.path1()), e.code().message());
    } catch (const std::system_error& e) {
        ReportError(file, e.code().message());
    } catch (const std::bad_alloc&) {
        ReportError(file, "Out of memory");
    } catch (const std::exception& e) {
        ReportError(file, e.what());
    }
    return kExitDataError;
}

}  // namespace qvx::cli
