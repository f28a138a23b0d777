// A frozen copy of the LH5 encoder (match tree, parse, block writer, Huffman code construction),
// kept apart from the library as the reference of the differential fuzz target: whatever the
// library's encoder is made into, it must give these bytes for every input. Not to be changed.
#pragma once

#include "CodecEngine.h"

namespace qvx::lh5ref {

void ReferenceLh5Compress(CodecEngine& engine);

}  // namespace qvx::lh5ref
