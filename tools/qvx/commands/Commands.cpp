#include "commands/Commands.h"

namespace qvx::cli {

std::span<const CommandGroup> CommandGroups() noexcept {
    static constexpr CommandGroup kGroups[] = {
        {"create", RegisterCreateCommand},   {"list", RegisterListCommand},       {"test", RegisterTestCommand},
        {"cat", RegisterCatCommand},         {"extract", RegisterExtractCommand}, {"expand", RegisterCodecCommands},
        {"compress", RegisterCodecCommands}, {"setup", RegisterSetupCommands},
    };
    return kGroups;
}

}  // namespace qvx::cli
