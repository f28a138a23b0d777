#include "setup/PeFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include <instcompress/ByteOrder.h>

namespace qvx::pe {

namespace {

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kNewHeaderField = 0x3C;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kSizeOfHeadersField = 60;
constexpr std::size_t kChecksumField = 64;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSecurityDirectory = 4;
constexpr std::size_t kDirectoryEntrySize = 8;

// Reads little-endian fields of a byte span; every read says whether the bytes were there.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool Has(std::uint64_t offset, std::uint64_t count) const { return offset + count <= bytes_.size(); }
    std::uint16_t U16(std::uint64_t at) const { return LoadLe16(bytes_.data() + at); }
    std::uint32_t U32(std::uint64_t at) const { return LoadLe32(bytes_.data() + at); }

private:
    std::span<const std::uint8_t> bytes_;
};

PeReadResult Malformed(std::string fault) {
    PeReadResult result;
    result.Kind = PeKind::Malformed;
    result.Fault = std::move(fault);
    return result;
}

}  // namespace

PeReadResult ReadPeHeaders(std::span<const std::uint8_t> head) {
    const Reader r(head);
    if (!r.Has(0, 2) || head[0] != 'M' || head[1] != 'Z') return {};
    if (!r.Has(0, kDosHeaderSize)) return Malformed("the DOS header is cut short");
    const std::uint64_t pe = r.U32(kNewHeaderField);
    if (!r.Has(pe, 4 + kCoffHeaderSize)) return Malformed("the PE header offset lies past the file's headers");
    if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0)
        return Malformed("no PE signature");

    PeReadResult result;
    result.Kind = PeKind::Pe;
    PeHeaders& h = result.Headers;
    const std::uint64_t coff = pe + 4;
    h.Machine = r.U16(coff);
    const std::uint64_t optionalSize = r.U16(coff + 16);
    const std::uint64_t optional = coff + kCoffHeaderSize;
    if (optionalSize < kChecksumField + 4) return Malformed("the optional header is too small");
    if (!r.Has(optional, optionalSize)) return Malformed("the optional header is cut short");
    const std::uint16_t magic = r.U16(optional);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) return Malformed("unknown optional header magic");
    h.Pe32Plus = magic == kMagicPe32Plus;
    h.ChecksumOffset = static_cast<std::uint32_t>(optional + kChecksumField);
    h.Checksum = r.U32(h.ChecksumOffset);

    const std::uint64_t sections = optional + optionalSize;
    const std::uint64_t sectionCount = r.U16(coff + 2);
    if (r.Has(sections, sectionCount * kSectionHeaderSize)) {
        std::int64_t end = r.U32(optional + kSizeOfHeadersField);
        for (std::uint64_t i = 0; i < sectionCount; ++i) {
            const std::uint64_t section = sections + i * kSectionHeaderSize;
            const std::uint32_t rawSize = r.U32(section + 16);
            if (rawSize != 0) end = std::max<std::int64_t>(end, std::int64_t{r.U32(section + 20)} + rawSize);
        }
        h.ImageEnd = end;
    }

    const std::uint64_t countField = optional + (h.Pe32Plus ? 108 : 92);
    const std::uint64_t directories = countField + 4;
    const std::uint64_t entry = directories + kSecurityDirectory * kDirectoryEntrySize;
    // A header without the directory entry (too few directories) carries no certificate table.
    if (countField + 4 > optional + optionalSize) return result;
    if (r.U32(countField) <= kSecurityDirectory || entry + kDirectoryEntrySize > optional + optionalSize) return result;
    h.SecurityEntryOffset = static_cast<std::uint32_t>(entry);
    h.CertificateTableOffset = r.U32(entry);
    h.CertificateTableSize = r.U32(entry + 4);
    return result;
}

std::vector<std::uint8_t> ReadHead(TStream& file) {
    std::vector<std::uint8_t> head(kHeadSize);
    file.SetPosition(0);
    std::size_t have = 0;
    while (have < head.size()) {
        const std::int32_t n = file.Read(head.data() + have, static_cast<std::int32_t>(head.size() - have));
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
    }
    head.resize(have);
    return head;
}

PeReadResult ReadPeHeaders(TStream& file) { return ReadPeHeaders(ReadHead(file)); }

std::string MachineName(std::uint16_t machine) {
    switch (machine) {
        case kMachineAmd64: return "x86-64";
        case kMachineI386: return "x86";
        case kMachineArm64: return "ARM64";
        default: break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(machine));
    return text;
}

std::uint32_t PeChecksum(TStream& file, std::uint32_t checksumOffset) {
    std::array<std::uint8_t, 65536> buffer;
    file.SetPosition(0);
    std::uint64_t position = 0;
    std::uint32_t sum = 0;
    int pendingLow = -1;  // the low byte of a word whose high byte is in the next read
    const auto addByte = [&](std::uint8_t byte) {
        if (position >= checksumOffset && position < std::uint64_t{checksumOffset} + 4) byte = 0;
        ++position;
        if (pendingLow < 0) {
            pendingLow = byte;
            return;
        }
        sum += static_cast<std::uint32_t>(pendingLow) | (static_cast<std::uint32_t>(byte) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
        pendingLow = -1;
    };
    for (;;) {
        const std::int32_t n = file.Read(buffer.data(), static_cast<std::int32_t>(buffer.size()));
        if (n <= 0) break;
        for (std::int32_t i = 0; i < n; ++i) addByte(buffer[static_cast<std::size_t>(i)]);
    }
    if (pendingLow >= 0) sum += static_cast<std::uint32_t>(pendingLow);
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum & 0xFFFF) + (sum >> 16);
    return (sum & 0xFFFF) + static_cast<std::uint32_t>(position);
}

}  // namespace qvx::pe
