#include "platform/SameFile.h"

#include "platform/FileSystem.h"

namespace qvx::cli {

bool SameFile(const std::string& a, const std::string& b) {
    platform::FileStatus sa;
    platform::FileStatus sb;
    if (platform::GetStatus(a, sa) != 0 || platform::GetStatus(b, sb) != 0) return false;
    return sa.Device == sb.Device && sa.Identity == sb.Identity;
}

}  // namespace qvx::cli
