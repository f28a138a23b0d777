#include "ErrorReport.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include <instcompress/Exceptions.h>

#include "Cli.h"

namespace qvx::cli {

std::string SystemMessage(int error) { return std::generic_category().message(error); }

void ThrowSystemError(const std::string& file, int error) { throw FileError(file, SystemMessage(error)); }

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
