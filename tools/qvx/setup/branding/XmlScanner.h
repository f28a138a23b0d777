// A strict check of XML text as a Windows application manifest needs it: UTF-8 (a byte order
// mark allowed), one root element, tags that nest and match, quoted attribute values, each
// attribute once per element, references that are one of the five named ones or a character
// number, comments, CDATA sections and processing instructions. A DOCTYPE is refused (a manifest
// has none, and it would bring entity declarations). The scan also tells where every element
// and attribute value lies, so that an editor can change a value in place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::branding {

struct XmlAttribute {
    std::string Name;
    std::size_t ValueBegin = 0;  // offsets of the value between its quotes
    std::size_t ValueEnd = 0;
};

struct XmlElement {
    std::string Name;             // as written, with its prefix ("asmv3:trustInfo")
    int Depth = 0;                // 0 for the root
    std::size_t NameEnd = 0;      // offset just behind the name in the start tag
    std::size_t StartTagEnd = 0;  // offset just behind the start tag's '>'
    bool Empty = false;           // written as <name/>
    std::size_t EndTagBegin = 0;  // offset of "</name>", or of "/>" of an empty element
    std::vector<XmlAttribute> Attributes;

    // The name without its prefix.
    std::string_view LocalName() const;
    // The prefix with its colon ("asmv3:"), or "".
    std::string_view Prefix() const;
};

// The elements of the text in document order; raises BrandingError with the fault and its line.
std::vector<XmlElement> ScanXml(std::string_view text);

}  // namespace qvx::branding
