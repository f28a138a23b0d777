#include "ArchiveInput.h"

#include <instcompress/FileStream.h>

namespace qvx::cli {

std::unique_ptr<TStream> OpenArchiveInput(const std::string& path) {
    return std::make_unique<TFileStream>(path, FileMode::ReadShared);
}

}  // namespace qvx::cli
