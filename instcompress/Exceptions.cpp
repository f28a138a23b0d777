#include <instcompress/Exceptions.h>

namespace qvx {

std::string UnrecognizedMethodMessage(const std::string& methodId) {
    return "Unrecognized compression method: \"" + methodId + "\" in header";
}

}  // namespace qvx
