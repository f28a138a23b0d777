// The event types of the archive component. Each event is a callable bound to whatever object the
// user chooses; an event counts as set when it holds a callable. No event receives the component.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qvx {

class TStream;

// Values are defined by the component user; the system only stores the event.
enum class TCProcessMode : std::uint8_t {};

using TCompressEvent = std::function<void(TStream& dest, TStream& source, std::string& CompressID,
                                          std::int32_t& Outputsize, std::uint32_t& checksum)>;
using TExpandEvent = std::function<void(TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t Destsize,
                                        const std::string& CompressID, std::uint32_t& checksum)>;
using TFilenameCheckEvent = std::function<void(std::string& filepath, TCProcessMode mode)>;
using TRecognizeEvent = std::function<void(const std::string& CompressID, bool& recognized)>;
// Called once per input block with the share of the input read so far, in percent; setting
// PercentageDone to -1 cancels (the codec then sees the end of its input).
using TShowProgressEvent = std::function<void(std::int32_t& PercentageDone)>;

}  // namespace qvx
