#include "ReferenceLh5Compress.h"

#include <memory>

#include "Lh5EncoderWorkspace.h"
#include "Lh5Parse.h"

namespace qvx::lh5ref {

void ReferenceLh5Compress(CodecEngine& engine) {
    const auto ws = std::make_unique<Lh5EncoderWorkspace>(engine);
    Lh5Parser<BlockWriter> parser(ws->window, ws->tree, ws->input, ws->blocks);
    if (!parser.Run()) return;
    ws->blocks.FlushBlock();
    ws->blocks.FinishStream();
}

}  // namespace qvx::lh5ref
