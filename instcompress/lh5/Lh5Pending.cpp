// Placeholder until the LH5 encoder lands: requests fail loudly instead of pretending to succeed.
#include "../Exceptions.h"
#include "Lh5Codec.h"

namespace qvx {

void Lh5Compress(CodecEngine&) {
    throw EUnrecognizedCompressionMethod("LH5 compression is not available in this build");
}

}  // namespace qvx
