#include "setup/branding/Manifest.h"

#include <vector>

#include "setup/branding/BrandingError.h"
#include "setup/branding/XmlScanner.h"

namespace qvx::branding {

namespace {

constexpr const char* kSecurityNamespace = "urn:schemas-microsoft-com:asm.v3";
// The elements that carry the level, outermost first.
constexpr std::string_view kPath[] = {"trustInfo", "security", "requestedPrivileges", "requestedExecutionLevel"};

const XmlElement* FindElement(const std::vector<XmlElement>& elements, std::string_view localName) {
    for (const XmlElement& e : elements)
        if (e.LocalName() == localName) return &e;
    return nullptr;
}

const XmlAttribute* FindAttribute(const XmlElement& e, std::string_view name) {
    for (const XmlAttribute& a : e.Attributes)
        if (a.Name == name) return &a;
    return nullptr;
}

// The elements of kPath from index `from` on, the first under the given prefix.
std::string Nested(std::size_t from, std::string_view prefix, std::string_view level) {
    std::string open;
    std::string close;
    for (std::size_t i = from; i < std::size(kPath); ++i) {
        const std::string name = std::string(prefix) + std::string(kPath[i]);
        if (i + 1 == std::size(kPath)) {
            open += "<" + name + " level=\"" + std::string(level) + "\" uiAccess=\"false\"/>";
        } else {
            open += "<" + name +
                    (i == 0 && prefix.empty() ? std::string(" xmlns=\"") + kSecurityNamespace + "\"" : "") + ">";
            close = "</" + name + ">" + close;
        }
    }
    return open + close;
}

// The text with `inside` put into the element, before its end tag (an empty element gets one).
std::string InsertInto(std::string_view text, const XmlElement& e, const std::string& inside) {
    std::string out(text.substr(0, e.EndTagBegin));
    if (e.Empty) {
        out += ">" + inside + "</" + e.Name + ">";
        out += text.substr(e.StartTagEnd);
    } else {
        out += inside;
        out += text.substr(e.EndTagBegin);
    }
    return out;
}

}  // namespace

bool IsExecutionLevel(std::string_view level) {
    return level == "asInvoker" || level == "highestAvailable" || level == "requireAdministrator";
}

void CheckManifest(std::string_view manifest) {
    const std::vector<XmlElement> elements = ScanXml(manifest);
    if (elements.front().LocalName() != "assembly")
        throw BrandingError("the root element is <" + elements.front().Name + ">, not <assembly>");
}

std::optional<std::string> ExecutionLevelOf(std::string_view manifest) {
    const std::vector<XmlElement> elements = ScanXml(manifest);
    const XmlElement* e = FindElement(elements, kPath[std::size(kPath) - 1]);
    if (e == nullptr) return std::nullopt;
    const XmlAttribute* a = FindAttribute(*e, "level");
    if (a == nullptr) return std::nullopt;
    return std::string(manifest.substr(a->ValueBegin, a->ValueEnd - a->ValueBegin));
}

std::string SetExecutionLevel(std::string_view manifest, std::string_view level) {
    const std::vector<XmlElement> elements = ScanXml(manifest);
    // The innermost element of the path that is there, and below it the rest.
    for (std::size_t i = std::size(kPath); i-- > 0;) {
        const XmlElement* e = FindElement(elements, kPath[i]);
        if (e == nullptr) continue;
        if (i + 1 == std::size(kPath)) {
            if (const XmlAttribute* a = FindAttribute(*e, "level"))
                return std::string(manifest.substr(0, a->ValueBegin)) + std::string(level) +
                       std::string(manifest.substr(a->ValueEnd));
            return std::string(manifest.substr(0, e->NameEnd)) + " level=\"" + std::string(level) + "\"" +
                   std::string(manifest.substr(e->NameEnd));
        }
        return InsertInto(manifest, *e, Nested(i + 1, e->Prefix(), level));
    }
    return InsertInto(manifest, elements.front(), Nested(0, "", level));
}

std::string MinimalManifest(std::string_view level) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
           "  " +
           Nested(0, "", level) + "\n</assembly>\n";
}

}  // namespace qvx::branding
