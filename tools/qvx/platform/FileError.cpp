#include "platform/FileError.h"

#include "platform/FileSystem.h"
#ifdef _WIN32
#include "platform/NativePath.h"
#endif

namespace qvx::platform {

std::string SystemMessage(int error) { return ErrorText(error); }

void ThrowSystemError(const std::string& file, int error) { throw FileError(file, SystemMessage(error), error); }

int ErrorNumber(const std::error_code& code) noexcept {
    if (!code) return 0;
#ifdef _WIN32
    if (code.category() == std::system_category()) return FromSystemError(static_cast<std::uint32_t>(code.value()));
#endif
    return code.value();
}

}  // namespace qvx::platform
