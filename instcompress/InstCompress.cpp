#include <instcompress/InstCompress.h>

namespace qvx {

const char* InstCompressVersion() noexcept { return INSTCOMPRESS_VERSION; }

}  // namespace qvx
