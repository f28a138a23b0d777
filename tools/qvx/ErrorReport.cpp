#include "ErrorReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include <instcompress/Exceptions.h>

#include "Cli.h"

namespace qvx::cli {

namespace {

// The path in a stream's open or create message ("Cannot open file <path>"), or file.
std::string PathOf(const std::string& message, std::string_view prefix, std::string_view file) {
    if (message.size() > prefix.size() && message.compare(0, prefix.size(), prefix) == 0)
        return message.substr(prefix.size());
    return std::string(file);
}

}  // namespace

std::string SystemMessage(int error) { return std::generic_category().message(error); }

void ThrowSystemError(const std::string& file, int error) { throw FileError(file, SystemMessage(error)); }

std::string WhyCannotOpen(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return SystemMessage(errno);
    if (S_ISDIR(st.st_mode)) return SystemMessage(EISDIR);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return SystemMessage(errno);
    std::string why;
#ifndef _WIN32
    // The file streams stand in for Windows' share modes with flock().
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) why = "File is in use by another program";
#endif
    ::close(fd);
    return why;
}

std::string WhyCannotCreate(const std::string& path) {
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return SystemMessage(EISDIR);
    std::string parent = std::filesystem::path(path).parent_path().string();
    if (parent.empty()) parent = ".";
    struct stat dir {};
    if (::stat(parent.c_str(), &dir) != 0) return SystemMessage(errno);
    if (!S_ISDIR(dir.st_mode)) return SystemMessage(ENOTDIR);
    if (::access(parent.c_str(), W_OK) != 0) return SystemMessage(errno);
    if (exists && ::access(path.c_str(), W_OK) != 0) return SystemMessage(errno);
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
    std::cerr << line << std::flush;
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
        ReportError(e.path1().empty() ? std::string(file) : e.path1().string(), e.code().message());
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
