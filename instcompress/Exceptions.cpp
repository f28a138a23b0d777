#include <instcompress/Exceptions.h>

namespace qvx {

std::string UnrecognizedMethodMessage(const std::string& methodId) {
    return "Unrecognized compression method: \"" + methodId + "\" in header";
}

std::string UnknownEntryMethodMessage(unsigned methodIndex) {
    return "unknown compression method " + std::to_string(methodIndex);
}

}  // namespace qvx
