// Placeholder until the LH5 decoder lands: requests fail loudly instead of pretending to succeed.
#include "../Exceptions.h"
#include "Lh5Codec.h"

namespace qvx {

void Lh5Expand(CodecEngine&, std::int32_t) {
    throw EUnrecognizedCompressionMethod("LH5 expansion is not available in this build");
}

}  // namespace qvx
