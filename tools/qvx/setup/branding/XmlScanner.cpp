#include "setup/branding/XmlScanner.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "setup/branding/BrandingError.h"
#include "platform/Utf8.h"

namespace qvx::branding {

namespace {

constexpr std::size_t kMaxDepth = 256;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : t_(text) {}

    std::vector<XmlElement> Run() {
        CheckCharacters();
        if (At("\xEF\xBB\xBF")) p_ = 3;
        if (At("<?xml") && p_ + 5 < t_.size() && (IsSpace(t_[p_ + 5]) || t_[p_ + 5] == '?')) Instruction(true);
        Misc();
        if (p_ >= t_.size() || t_[p_] != '<')
            Fail(p_ >= t_.size() ? "no root element" : "text outside the root element");
        StartTag();
        while (!open_.empty()) Content();
        Misc();
        if (p_ < t_.size()) Fail("content after the root element");
        return std::move(elements_);
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        const auto line =
            1 + std::count(t_.begin(), t_.begin() + static_cast<std::ptrdiff_t>(std::min(p_, t_.size())), '\n');
        throw BrandingError("not well-formed XML: " + what + " (line " + std::to_string(line) + ")");
    }
    bool At(std::string_view s) const { return t_.substr(std::min(p_, t_.size())).starts_with(s); }
    void Expect(std::string_view s, const char* what) {
        if (!At(s)) Fail(what);
        p_ += s.size();
    }
    void SkipSpace() {
        while (p_ < t_.size() && IsSpace(t_[p_])) ++p_;
    }
    // Skips to behind the terminator.
    void SkipPast(std::string_view terminator, const char* unterminated) {
        const std::size_t end = t_.find(terminator, p_);
        if (end == std::string_view::npos) Fail(unterminated);
        p_ = end + terminator.size();
    }

    void CheckCharacters() {
        std::size_t pos = 0;
        while (pos < t_.size()) {
            p_ = pos;
            const std::optional<char32_t> c = cli::NextCodePoint(t_, &pos);
            if (!c) Fail("not UTF-8 text");
            if (!IsXmlChar(*c)) Fail("a control character");
        }
        p_ = 0;
    }

    std::string Name() {
        if (p_ >= t_.size() || !IsNameStart(t_[p_])) Fail("a name was expected");
        const std::size_t start = p_;
        while (p_ < t_.size() && IsNameChar(t_[p_])) ++p_;
        return std::string(t_.substr(start, p_ - start));
    }

    void Reference() {
        ++p_;  // '&'
        const std::size_t end = t_.find(';', p_);
        if (end == std::string_view::npos) Fail("'&' without a reference");
        const std::string_view ref = t_.substr(p_, end - p_);
        if (ref.starts_with('#')) {
            const bool hex = ref.starts_with("#x");
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            std::uint32_t value = 0;
            const auto [last, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || last != digits.data() + digits.size() || !IsXmlChar(value))
                Fail("a bad character reference");
        } else if (ref != "lt" && ref != "gt" && ref != "amp" && ref != "apos" && ref != "quot") {
            Fail("an unknown entity &" + std::string(ref.substr(0, 40)) + ";");
        }
        p_ = end + 1;
    }

    void Instruction(bool declaration) {
        p_ += 2;  // "<?"
        std::string target = Name();
        std::transform(target.begin(), target.end(), target.begin(),
                       [](char c) { return static_cast<char>(c | 0x20); });
        if (target == "xml" && !declaration) Fail("an XML declaration that is not at the very start");
        SkipPast("?>", "a processing instruction without its end");
    }

    void Comment() {
        p_ += 4;  // "<!--"
        const std::size_t end = t_.find("--", p_);
        if (end == std::string_view::npos) Fail("a comment without its end");
        p_ = end;
        Expect("-->", "'--' inside a comment");
    }

    // Comments, processing instructions and white space around the root element.
    void Misc() {
        for (;;) {
            SkipSpace();
            if (At("<!--"))
                Comment();
            else if (At("<!DOCTYPE"))
                Fail("a DOCTYPE (not allowed in a manifest)");
            else if (At("<?"))
                Instruction(false);
            else
                return;
        }
    }

    void StartTag() {
        if (open_.size() >= kMaxDepth) Fail("elements nested deeper than 256");
        ++p_;  // '<'
        XmlElement e;
        e.Name = Name();
        e.NameEnd = p_;
        e.Depth = static_cast<int>(open_.size());
        for (;;) {
            const std::size_t before = p_;
            SkipSpace();
            if (At("/>")) {
                e.Empty = true;
                e.EndTagBegin = p_;
                p_ += 2;
                e.StartTagEnd = p_;
                elements_.push_back(std::move(e));
                return;
            }
            if (At(">")) {
                e.StartTagEnd = ++p_;
                elements_.push_back(std::move(e));
                open_.push_back(elements_.size() - 1);
                return;
            }
            if (p_ == before) Fail("white space, '>' or '/>' was expected in the tag of <" + e.Name + ">");
            XmlAttribute a;
            a.Name = Name();
            for (const XmlAttribute& other : e.Attributes)
                if (other.Name == a.Name) Fail("attribute " + a.Name + " twice in <" + e.Name + ">");
            SkipSpace();
            Expect("=", "'=' was expected after an attribute name");
            SkipSpace();
            if (p_ >= t_.size() || (t_[p_] != '"' && t_[p_] != '\'')) Fail("an attribute value without quotes");
            const char quote = t_[p_++];
            a.ValueBegin = p_;
            while (p_ < t_.size() && t_[p_] != quote) {
                if (t_[p_] == '<') Fail("'<' in an attribute value");
                if (t_[p_] == '&')
                    Reference();
                else
                    ++p_;
            }
            if (p_ >= t_.size()) Fail("an attribute value without its closing quote");
            a.ValueEnd = p_++;
            e.Attributes.push_back(std::move(a));
        }
    }

    void Content() {
        if (p_ >= t_.size()) Fail("<" + elements_[open_.back()].Name + "> is not closed");
        if (At("</")) {
            XmlElement& e = elements_[open_.back()];
            e.EndTagBegin = p_;
            p_ += 2;
            const std::string name = Name();
            if (name != e.Name) Fail("</" + name + "> closes <" + e.Name + ">");
            SkipSpace();
            Expect(">", "'>' was expected in an end tag");
            open_.pop_back();
        } else if (At("<!--")) {
            Comment();
        } else if (At("<![CDATA[")) {
            SkipPast("]]>", "a CDATA section without its end");
        } else if (At("<?")) {
            Instruction(false);
        } else if (At("<!")) {
            Fail("a declaration inside an element");
        } else if (At("<")) {
            StartTag();
        } else if (At("&")) {
            Reference();
        } else if (At("]]>")) {
            Fail("']]>' in text");
        } else {
            ++p_;
        }
    }

    std::string_view t_;
    std::size_t p_ = 0;
    std::vector<XmlElement> elements_;
    std::vector<std::size_t> open_;
};

}  // namespace

std::string_view XmlElement::LocalName() const {
    const std::size_t colon = Name.find(':');
    return colon == std::string::npos ? std::string_view(Name) : std::string_view(Name).substr(colon + 1);
}

std::string_view XmlElement::Prefix() const {
    const std::size_t colon = Name.find(':');
    return colon == std::string::npos ? std::string_view() : std::string_view(Name).substr(0, colon + 1);
}

std::vector<XmlElement> ScanXml(std::string_view text) { return Scanner(text).Run(); }

}  // namespace qvx::branding
