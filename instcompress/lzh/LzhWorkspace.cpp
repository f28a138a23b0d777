#include "LzhWorkspace.h"

#include <cstring>

namespace qvx::lzh {

std::unique_ptr<LzhWorkspace> LzhAllocateWorkspace() {
    auto workspace = std::make_unique<LzhWorkspace>();
    std::memset(workspace->LzhWindow, 0, sizeof workspace->LzhWindow);
    return workspace;
}

}  // namespace qvx::lzh
