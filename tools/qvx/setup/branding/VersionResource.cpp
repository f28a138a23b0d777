#include "setup/branding/VersionResource.h"

#include <charconv>

#include "setup/branding/BrandingError.h"
#include "setup/branding/Utf16.h"

namespace qvx::branding {

namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedSize = 52;
constexpr std::size_t kBlockHeader = 6;
constexpr std::size_t kMaxBlock = 0xFFFF;
constexpr int kMaxDepth = 8;
constexpr char16_t kDefaultLanguage[] = u"040904B0";

struct Block {
    std::u16string Key;
    std::uint16_t Type = 0;
    std::uint16_t ValueLength = 0;  // as stored: units of a text value, bytes of a binary one
    Bytes Value;
    std::vector<Block> Children;
};

BrandingError Damaged(const std::string& what) { return BrandingError("the version information is damaged: " + what); }

std::size_t Align4(std::size_t v) { return (v + 3) & ~std::size_t{3}; }

// Reads the block at `at`, which must end by `end` (offsets into the resource).
Block ReadBlock(const ByteReader& r, std::size_t at, std::size_t end, int depth) {
    if (depth > kMaxDepth) throw Damaged("blocks nested too deep");
    if (at + kBlockHeader > end) throw Damaged("a block is cut short");
    const std::size_t length = r.U16(at);
    if (length < kBlockHeader || at + length > end)
        throw Damaged("a block's length " + std::to_string(length) + " does not fit");
    const std::size_t blockEnd = at + length;
    Block block;
    block.ValueLength = r.U16(at + 2);
    block.Type = r.U16(at + 4);
    std::size_t pos = at + kBlockHeader;
    for (;;) {
        if (pos + 2 > blockEnd) throw Damaged("a block's key has no end");
        const char16_t c = static_cast<char16_t>(r.U16(pos));
        pos += 2;
        if (c == 0) break;
        block.Key += c;
    }
    pos = Align4(pos);
    std::size_t valueBytes = block.Type == 1 ? std::size_t{block.ValueLength} * 2 : block.ValueLength;
    if (pos + valueBytes > blockEnd) {
        // Some resource compilers count a text value in bytes; the block's end bounds it.
        if (block.Type != 1) throw Damaged("the value of " + ToUtf8(block.Key) + " runs past its block");
        valueBytes = pos > blockEnd ? 0 : blockEnd - pos;
    }
    if (pos < blockEnd) {
        const ByteSpan value = r.Slice(pos, valueBytes);
        block.Value.assign(value.begin(), value.end());
    }
    pos = Align4(pos + valueBytes);
    while (pos + kBlockHeader <= blockEnd) {
        block.Children.push_back(ReadBlock(r, pos, blockEnd, depth + 1));
        pos = Align4(pos + r.U16(pos));
    }
    return block;
}

void AppendText(Bytes& out, std::u16string_view text) {
    for (const char16_t c : text) Append16(out, c);
    Append16(out, 0);
}

void WriteBlock(Bytes& out, const Block& block) {
    PadTo(out, 4);
    const std::size_t start = out.size();
    Append16(out, 0);
    Append16(out, block.ValueLength);
    Append16(out, block.Type);
    AppendText(out, block.Key);
    PadTo(out, 4);
    out.insert(out.end(), block.Value.begin(), block.Value.end());
    for (const Block& child : block.Children) WriteBlock(out, child);
    const std::size_t length = out.size() - start;
    if (length > kMaxBlock)
        throw BrandingError("the version information would need " + std::to_string(length) + " bytes in block " +
                            ToUtf8(block.Key) + ", more than its 65535");
    Put16(out, start, static_cast<std::uint32_t>(length));
}

// The text of a string block's value (without its terminating 0).
std::u16string TextOf(const Block& block) {
    std::u16string text;
    const ByteReader r(block.Value);
    for (std::size_t i = 0; i + 1 < block.Value.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(r.U16(i));
        if (c == 0) break;
        text += c;
    }
    return text;
}

Block TextBlock(std::u16string key, std::u16string_view text) {
    Block block;
    block.Key = std::move(key);
    block.Type = 1;
    block.ValueLength = static_cast<std::uint16_t>(std::min<std::size_t>(text.size() + 1, 0xFFFF));
    AppendText(block.Value, text);
    return block;
}

Block ParentBlock(std::u16string key) {
    Block block;
    block.Key = std::move(key);
    block.Type = 1;
    return block;
}

bool SameKey(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

Block* Child(Block& parent, std::u16string_view key) {
    for (Block& child : parent.Children)
        if (SameKey(child.Key, key)) return &child;
    return nullptr;
}

void CheckRoot(const Block& root) {
    if (root.Key != u"VS_VERSION_INFO") throw Damaged("its first block is not VS_VERSION_INFO");
    if (root.Value.size() != kFixedSize || ByteReader(root.Value).U32(0) != kFixedSignature)
        throw Damaged("no fixed file information");
}

Block ReadRoot(ByteSpan resource) {
    const ByteReader r(resource);
    Block root = ReadBlock(r, 0, resource.size(), 0);
    CheckRoot(root);
    return root;
}

Block NewRoot() {
    Block root;
    root.Key = u"VS_VERSION_INFO";
    root.Type = 0;
    root.ValueLength = kFixedSize;
    root.Value.assign(kFixedSize, 0);
    Put32(root.Value, 0, kFixedSignature);
    Put32(root.Value, 4, 0x00010000);   // structure version 1.0
    Put32(root.Value, 24, 0x3F);        // flags mask: every VS_FF_ flag
    Put32(root.Value, 32, 0x00040004);  // VOS_NT_WINDOWS32
    Put32(root.Value, 36, 1);           // VFT_APP
    Block strings = ParentBlock(u"StringFileInfo");
    strings.Children.push_back(ParentBlock(kDefaultLanguage));
    root.Children.push_back(std::move(strings));
    Block vars = ParentBlock(u"VarFileInfo");
    Block translation;
    translation.Key = u"Translation";
    translation.ValueLength = 4;
    Append16(translation.Value, 0x0409);
    Append16(translation.Value, 1200);
    vars.Children.push_back(std::move(translation));
    root.Children.push_back(std::move(vars));
    return root;
}

void SetVersion(Bytes& fixed, std::size_t at, const std::array<std::uint16_t, 4>& v) {
    Put32(fixed, at, (std::uint32_t{v[0]} << 16) | v[1]);
    Put32(fixed, at + 4, (std::uint32_t{v[2]} << 16) | v[3]);
}

std::array<std::uint16_t, 4> GetVersion(const Bytes& fixed, std::size_t at) {
    const ByteReader r(fixed);
    return {r.U16(at + 2), r.U16(at), r.U16(at + 6), r.U16(at + 4)};
}

}  // namespace

std::optional<VersionNumber> ParseVersionNumber(std::string_view text, std::string* why) {
    VersionNumber version;
    version.Text = std::string(text);
    std::size_t count = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t dot = std::min(text.find('.', pos), text.size());
        const std::string_view part = text.substr(pos, dot - pos);
        if (count == 4) {
            *why = "more than four numbers";
            return std::nullopt;
        }
        unsigned value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error == std::errc::invalid_argument || end != part.data() + part.size()) {
            // Appended piece by piece: "literal" + std::string&& makes GCC 12 at -O3 warn falsely
            // (-Wrestrict) about the copy it inlines.
            why->assign(1, '\'').append(part).append("' is not a number (give up to four numbers, as 1.2.3.4)");
            return std::nullopt;
        }
        if (error == std::errc::result_out_of_range || value > 0xFFFF) {
            *why = std::string(part) + " is over 65535";
            return std::nullopt;
        }
        version.Parts[count++] = static_cast<std::uint16_t>(value);
        if (dot == text.size()) break;
        pos = dot + 1;
    }
    return version;
}

std::string VersionText(const std::array<std::uint16_t, 4>& parts) {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

std::string VersionStringFault(std::string_view key, std::string_view value) {
    const auto k = ToUtf16(key);
    const auto v = ToUtf16(value);
    if (!k || !v) return "not UTF-8 text";
    if (k->empty()) return "the key is empty";
    for (const char16_t c : *k)
        if (c < 0x20) return "the key holds a control character";
    const std::size_t block = Align4(kBlockHeader + 2 * (k->size() + 1)) + 2 * (v->size() + 1);
    if (block > kMaxBlock)
        return "too long for the version information (" + std::to_string(block) + " bytes, at most 65535 a string)";
    return {};
}

Bytes EditVersionResource(ByteSpan existing, const VersionEdits& edits) {
    Block root = existing.empty() ? NewRoot() : ReadRoot(existing);
    if (edits.FileVersion) SetVersion(root.Value, 8, edits.FileVersion->Parts);
    if (edits.ProductVersion) SetVersion(root.Value, 16, edits.ProductVersion->Parts);
    if (!edits.Strings.empty()) {
        Block* strings = Child(root, u"StringFileInfo");
        if (strings == nullptr) {
            root.Children.insert(root.Children.begin(), ParentBlock(u"StringFileInfo"));
            strings = &root.Children.front();
        }
        if (strings->Children.empty()) strings->Children.push_back(ParentBlock(kDefaultLanguage));
        for (Block& table : strings->Children) {
            for (const auto& [key, value] : edits.Strings) {
                const auto k = ToUtf16(key);
                const auto v = ToUtf16(value);
                if (!k || !v) throw BrandingError("version string " + key + ": not UTF-8 text");
                if (Block* existingString = Child(table, *k))
                    *existingString = TextBlock(existingString->Key, *v);
                else
                    table.Children.push_back(TextBlock(*k, *v));
            }
        }
    }
    Bytes out;
    WriteBlock(out, root);
    return out;
}

VersionSummary ReadVersionResource(ByteSpan resource) {
    const Block root = ReadRoot(resource);
    VersionSummary summary;
    summary.FileVersion = GetVersion(root.Value, 8);
    summary.ProductVersion = GetVersion(root.Value, 16);
    for (const Block& child : root.Children) {
        if (!SameKey(child.Key, u"StringFileInfo")) continue;
        for (const Block& table : child.Children) {
            VersionSummary::Table t;
            t.Language = ToUtf8(table.Key);
            for (const Block& string : table.Children)
                t.Strings.emplace_back(ToUtf8(string.Key), ToUtf8(TextOf(string)));
            summary.Tables.push_back(std::move(t));
        }
    }
    return summary;
}

}  // namespace qvx::branding
