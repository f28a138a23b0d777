#include <instcompress/CompressMethod.h>

namespace qvx {

std::string MethodName(CompressMethod method) {
    if (IsDefinedMethod(method)) return std::string(MethodId(method));
    std::string name(1, '#');
    name += std::to_string(MethodIndex(method));
    return name;
}

}  // namespace qvx
