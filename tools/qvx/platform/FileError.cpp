#include "platform/FileError.h"

#include <cerrno>

#include "platform/FileSystem.h"
#ifdef _WIN32
#include "platform/NativePath.h"
#endif

namespace qvx::platform {

std::string SystemMessage(int error) { return ErrorText(error); }

void ThrowSystemError(const std::string& file, int error) { throw FileError(file, SystemMessage(error), error); }

bool IsFileInUse(int error) noexcept {
#ifdef _WIN32
    return error == EBUSY;
#else
    return error == EBUSY || error == EWOULDBLOCK;
#endif
}

int ErrorNumber(int systemError) noexcept {
#ifdef _WIN32
    return systemError == 0 ? 0 : FromSystemError(static_cast<std::uint32_t>(systemError));
#else
    return systemError;
#endif
}

}  // namespace qvx::platform
