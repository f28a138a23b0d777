// Everything one LH5 compression run works with: the match finder (window and match tree), the
// block writer (with its bit writer) and the input. A run allocates it at its start and releases it
// on every exit.
#pragma once

#include "BlockWriter.h"
#include "EncoderInput.h"
#include "StreamFinder.h"

namespace qvx::lh5 {

struct Lh5EncoderWorkspace {
    explicit Lh5EncoderWorkspace(CodecEngine& engine) : blocks(engine), input(engine) {}
    Lh5EncoderWorkspace(const Lh5EncoderWorkspace&) = delete;
    Lh5EncoderWorkspace& operator=(const Lh5EncoderWorkspace&) = delete;

    StreamFinder finder;
    BlockWriter blocks;
    EncoderInput input;
};

}  // namespace qvx::lh5
