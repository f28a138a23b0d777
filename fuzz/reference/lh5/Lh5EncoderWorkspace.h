// Everything one LH5 compression run works with: the window, the match tree and the block writer
// (with its bit writer). A run allocates it at its start and releases it on every exit.
#pragma once

#include "BlockWriter.h"
#include "EncoderInput.h"
#include "MatchTree.h"
#include "TextWindow.h"

namespace qvx::lh5ref {

struct Lh5EncoderWorkspace {
    explicit Lh5EncoderWorkspace(CodecEngine& engine) : tree(window.bytes), blocks(engine), input(engine) {}
    Lh5EncoderWorkspace(const Lh5EncoderWorkspace&) = delete;
    Lh5EncoderWorkspace& operator=(const Lh5EncoderWorkspace&) = delete;

    TextWindow window;
    MatchTree tree;
    BlockWriter blocks;
    EncoderInput input;
};

}  // namespace qvx::lh5ref
