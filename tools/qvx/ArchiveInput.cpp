#include "ArchiveInput.h"

#include <instcompress/FileStream.h>

namespace qvx::cli {

void AddArchiveInputOptions(CLI::App& command, ArchiveInputOptions& options) {
    command.add_option("ARCHIVE", options.Path, "Archive file")->required();
}

std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options) {
    return std::make_unique<TFileStream>(options.Path, FileMode::ReadShared);
}

}  // namespace qvx::cli
