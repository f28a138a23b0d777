// PayloadLocator: finds the payload offset patched into a launcher file.
//
// The file is scanned in windows of 16,384 bytes that overlap by 8 bytes, so a marker that begins
// in the last 7 bytes of one window is found whole at the start of the next. The first occurrence
// of the marker in a window decides: a placeholder offset field (first byte "X") means no payload;
// an offset not below the file size (both taken as signed 32-bit values) means no payload; any
// other non-zero value is the result. An offset field of 0 lets the scan go on with the next
// window.
//
// Payload framing behind the launcher image: a 32-bit little-endian length N, then the first
// archive of N bytes; in the shipped layout a second block of the same framing follows.
#pragma once

#include <cstdint>
#include <string>

#include <instcompress/Stream.h>

namespace qvx::launcher {

inline constexpr std::int32_t kScanWindowSize = 16384;

// Returns the payload offset of the file at path, or 0 when none was found. The result is signed:
// an offset field of 2^31 or more comes back negative. Raises EFOpenError when the file cannot be
// opened; the file is read-shared and released on every path.
std::int32_t PayloadLocator(const std::string& path);

// The same scan over a stream that holds the whole file (read from position 0, left anywhere).
std::int32_t PayloadLocator(TStream& file);

}  // namespace qvx::launcher
