// The extraction name check of qvx extract on arbitrary bytes as an entry name. The target fails
// when a name is accepted that could leave the extraction directory, on POSIX (where qvx runs) or
// on Windows (where the archives are made and installed): every accepted name must split into
// components that hold no separator, NUL or ':', that stay a real name once Windows drops trailing
// dots and spaces, and whose path joined below a base directory normalises to a relative path
// below it. The split must also be faithful: the components joined with "\" give back the name
// (with "/" read as "\"), and joining and splitting again changes nothing.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "names/SafePath.h"

namespace {

namespace fs = std::filesystem;

void Require(bool condition) {
    if (!condition) std::abort();
}

// The name Windows gives a path component: trailing dots and spaces are dropped (so "..", ". ." and
// the like name the parent or the directory itself, and "a." names "a").
std::string_view WindowsComponent(std::string_view c) {
    while (!c.empty() && (c.back() == '.' || c.back() == ' ')) c.remove_suffix(1);
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    std::string reason;
    const auto components = qvx::cli::SplitEntryName(name, &reason);
    Require(components.has_value() == qvx::cli::IsSafeEntryName(name));
    if (!components) {
        Require(!reason.empty());
        return 0;
    }
    Require(!components->empty());

    const fs::path base = "base";
    fs::path joined = base;
    for (const std::string& c : *components) {
        Require(!c.empty());
        Require(c.find_first_of(std::string_view("\\/:\0", 4)) == std::string::npos);
        Require(!WindowsComponent(c).empty());
        joined /= c;
    }
    const fs::path relative = joined.lexically_normal().lexically_relative(base);
    Require(!relative.empty() && relative.is_relative() && !relative.has_root_name() && !relative.has_root_directory());
    std::size_t depth = 0;
    for (const fs::path& element : relative) {
        Require(element != ".." && element != "." && !element.empty());
        ++depth;
    }
    Require(depth == components->size());

    std::string asWindows(name);
    for (char& c : asWindows)
        if (c == '/') c = '\\';
    const std::string rejoined = qvx::cli::JoinEntryName(*components);
    Require(rejoined == asWindows);
    const auto again = qvx::cli::SplitEntryName(rejoined);
    Require(again.has_value() && *again == *components);
    return 0;
}
