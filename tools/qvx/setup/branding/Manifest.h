// The application manifest of a Windows program (RT_MANIFEST, id 1): UTF-8 XML whose root is
// <assembly>. The execution level Windows starts the program with is the level attribute of
//   <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>
//     <requestedExecutionLevel level="asInvoker|highestAvailable|requireAdministrator"/>
// Edits change that one attribute in place and leave every other byte of the manifest as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvx::branding {

// Whether the level is one Windows knows.
bool IsExecutionLevel(std::string_view level);

// Checks a manifest: well-formed XML with an <assembly> root. Raises BrandingError naming the fault.
void CheckManifest(std::string_view manifest);

// The requested execution level, or nothing when the manifest asks for none. The manifest must
// pass CheckManifest.
std::optional<std::string> ExecutionLevelOf(std::string_view manifest);

// The manifest with the requested execution level set: the level attribute replaced, or the
// elements that carry it added inside the root (as far as they are missing).
std::string SetExecutionLevel(std::string_view manifest, std::string_view level);

// A manifest that asks for the level and nothing else.
std::string MinimalManifest(std::string_view level);

}  // namespace qvx::branding
