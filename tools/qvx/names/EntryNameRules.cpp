#include "names/EntryNameRules.h"

#include "names/SafePath.h"

namespace qvx::cli {

std::optional<std::vector<std::string>> EntryNameComponents(const std::string& stored, CodePage names,
                                                            NameCollisions& taken, std::string* reason,
                                                            std::size_t directoryLength) {
    const auto name = names.Decode(stored);
    if (!name) {
        *reason = "bytes that code page " + names.Name() + " does not define";
        return std::nullopt;
    }
    auto components = SplitEntryName(*name, reason);
    if (!components) return std::nullopt;
    *reason = WindowsNameProblem(*components);
    if (reason->empty()) *reason = WindowsPathLengthProblem(directoryLength, *name);
    if (!reason->empty()) return std::nullopt;
    std::string earlier;
    if (!taken.Take(*name, &earlier)) {
        *reason = CollisionMessage(earlier);
        return std::nullopt;
    }
    return components;
}

}  // namespace qvx::cli
