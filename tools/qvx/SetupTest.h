// Checking a setup file before it ships: the size marker and the payload offset, the framing of
// both blocks (against the certificate table when the file is signed), every entry of both
// archives expanded with its checksum verified (stored entries too, which the launcher does not
// verify), the reserved fields 0, the engine entry present and not empty, and for a Windows
// launcher its resources (the directory, the version information, the manifest, every icon
// image) and the PE header checksum over the whole file.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <instcompress/Stream.h>

namespace qvx::setup {

// Checks the setup file in the stream (name is what messages call it). Writes one line per
// archive as it passes, then one saying whether the file is signed; warnings (bytes behind the
// certificate table) go to warn. Raises SetupError(name, fault) at the first fault.
void TestSetup(TStream& file, const std::string& name, std::ostream& out,
               const std::function<void(const std::string&)>& warn);

}  // namespace qvx::setup
