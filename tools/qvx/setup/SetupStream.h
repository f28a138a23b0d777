// Reading a setup file forward, from an input that cannot go back (a pipe, a device): the size
// marker is looked for within the launcher image, the input is read past up to the payload offset
// behind the marker, and then past the blocks in front of the one asked for. Nothing is read
// beyond the start of that block; the block itself is read as the archive reader asks.
#pragma once

#include <memory>
#include <string>

#include <instcompress/Stream.h>

#include "archive/ForwardStream.h"

namespace qvx::setup {

// Block number (1 or 2) of the setup file read from stream, as a stream of its own positioned at
// the archive's first byte; it reads from stream, which it borrows. nullptr when the input is no
// setup file: a program image whose headers cannot be read, or that holds no size marker. Raises
// SetupError(name, fault) when the size marker or the framing in front of the block does not hold.
std::unique_ptr<TStream> OpenStreamedPayloadBlock(cli::TForwardStream& stream, int number, const std::string& name);

}  // namespace qvx::setup
