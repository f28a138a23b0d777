// Checking a setup file before it ships: the size marker and the payload offset, the framing of
// both blocks (against the certificate table when the file is signed), every entry of both
// archives expanded with the launcher's checks (checksums, stored entries' too, and sizes), the
// data block's names by extract's rules, the engine entry present once and not empty, and for a
// Windows launcher its resources (the directory, the version information, the manifest, every icon
// image) and the PE header checksum over the whole file. What the launcher and the engine pass
// over (reserved fields that are not 0, bytes after an archive's last entry) is a warning.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <instcompress/Stream.h>

#include "names/CodePage.h"

namespace qvx::setup {

// Checks the setup file in the stream (name is what messages call it). Writes one line per
// archive as it passes, then one saying whether the file is signed; warnings (bytes behind the
// certificate table) go to warn. names is the code page of the data block's names. Raises
// SetupError(name, fault) at the first fault.
void TestSetup(TStream& file, const std::string& name, std::ostream& out,
               const std::function<void(const std::string&)>& warn, cli::CodePage names = cli::CodePage::Default());

}  // namespace qvx::setup
