#include <algorithm>
#include <iterator>

#include "UpperCase.h"
#include "platform/Utf8.h"

namespace qvx::platform {

namespace {

struct CasePair {
    char32_t From;
    char32_t To;
};

// Every character with a simple upper-case mapping and that mapping, in ascending order.
constexpr CasePair kUpperCase[] = {
#include "UpperCasePairs.inc"
};

static_assert(std::size(kUpperCase) > 1000, "the upper-case table is incomplete");

char32_t SimpleUpperCase(char32_t c) {
    const auto* end = std::end(kUpperCase);
    const auto* it = std::lower_bound(std::begin(kUpperCase), end, c,
                                      [](const CasePair& pair, char32_t value) { return pair.From < value; });
    return it != end && it->From == c ? it->To : c;
}

}  // namespace

void AppendUpperCase(std::string& out, std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        if (const auto c = cli::NextCodePoint(utf8, &pos)) {
            cli::AppendUtf8(out, SimpleUpperCase(*c));
        } else {
            out += utf8[pos++];
        }
    }
}

}  // namespace qvx::platform
