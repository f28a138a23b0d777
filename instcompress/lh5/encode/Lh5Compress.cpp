// LH5 compression: the whole input is parsed into literals and matches, which the block writer
// sends as LH5 blocks, followed by the last partial byte. An empty input gives no output at all.
#include <memory>

#include "LiveMatches.h"
#include "Lh5Compress.h"
#include "Lh5EncoderWorkspace.h"

namespace qvx::lh5 {

void Lh5Compress(CodecEngine& engine) {
    // Released on every exit, also when WriteByte raises EUnableToCompress.
    const auto ws = std::make_unique<Lh5EncoderWorkspace>(engine);
    if (!ParseInput(ws->finder, ws->input, ws->blocks)) return;
    ws->blocks.FlushBlock();
    ws->blocks.FinishStream();
}

}  // namespace qvx::lh5
