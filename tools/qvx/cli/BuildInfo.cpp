#include "cli/BuildInfo.h"

#include "QvxBuildInfo.h"  // generated at build time by cmake/BuildInfo.cmake

namespace qvx::cli {

std::string VersionLine() {
    std::string line = "qvx " QVX_BUILD_VERSION;
    const std::string commit = QVX_BUILD_COMMIT;
    if (!commit.empty()) line += " (commit " + commit + ")";
    return line;
}

}  // namespace qvx::cli
