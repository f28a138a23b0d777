// Placeholder until the LH5 codec lands: requests fail loudly instead of pretending to succeed.
#include "../Exceptions.h"
#include "Lh5Codec.h"

namespace qvx {

void Lh5Expand(CodecEngine&, std::int32_t) {
    throw EUnrecognizedCompressionMethod("LH5 expansion is not available in this build");
}

void Lh5Compress(CodecEngine&) {
    throw EUnrecognizedCompressionMethod("LH5 compression is not available in this build");
}

}  // namespace qvx
