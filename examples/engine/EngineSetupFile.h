// Reading a setup file from the engine's side: the payload offset patched into the launcher's size
// marker, and the second payload block, which carries the archive of the data to install.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvx::example {

// The payload offset of the setup file: the offset field behind the first occurrence of the size
// marker. Raises std::runtime_error when the file carries no payload.
std::int64_t FindPayloadOffset(const std::string& setupPath);

// The second block of the payload: skips the first archive (whose length lies at the payload
// offset) and returns the bytes of the archive behind it.
std::vector<std::uint8_t> ReadDataArchive(const std::string& setupPath);

}  // namespace qvx::example
