// Placeholder until the LZH codec lands: requests fail loudly instead of pretending to succeed.
#include "../Exceptions.h"
#include "LzhCodec.h"

namespace qvx {

void LzhExpand(CodecEngine&, std::int32_t) {
    throw EUnrecognizedCompressionMethod("LZH expansion is not available in this build");
}

void LzhCompress(CodecEngine&) {
    throw EUnrecognizedCompressionMethod("LZH compression is not available in this build");
}

}  // namespace qvx
