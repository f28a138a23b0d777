#include <instcompress/CompressMethod.h>

namespace qvx {

std::string MethodName(CompressMethod method) {
    if (IsDefinedMethod(method)) return std::string(MethodId(method));
    return "#" + std::to_string(MethodIndex(method));
}

}  // namespace qvx
