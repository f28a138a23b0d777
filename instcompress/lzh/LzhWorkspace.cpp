#include "LzhWorkspace.h"

#include <cstring>

namespace qvx::lzh {

std::unique_ptr<LzhWorkspace> LzhAllocateWorkspace() {
    // Value-initialised, so the model and dictionary arrays start as zeros; the window is cleared
    // explicitly as well, since the compressor's choices near the end of short inputs read window
    // bytes that the run has not written.
    auto workspace = std::make_unique<LzhWorkspace>();
    std::memset(workspace->LzhWindow, 0, sizeof workspace->LzhWindow);
    return workspace;
}

}  // namespace qvx::lzh
