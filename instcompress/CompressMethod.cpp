#include <instcompress/CompressMethod.h>

namespace qvx {

std::string MethodName(CompressMethod method) {
    if (IsDefinedMethod(method)) return std::string(MethodId(method));
    // Appended rather than concatenated: g++ 12 at -O3 warns (-Wrestrict) about "#" + string.
    std::string name = "#";
    name += std::to_string(MethodIndex(method));
    return name;
}

}  // namespace qvx
