#include "setup/ElfFile.h"

#include <algorithm>

namespace qvx::elf {

namespace {

// Fields of either byte order, with bounds checked by the caller through Has.
class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}
    bool Has(std::uint64_t offset, std::uint64_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint64_t Field(std::uint64_t at, int size) const {
        std::uint64_t v = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint64_t b = bytes_[at + static_cast<std::uint64_t>(bigEndian_ ? i : size - 1 - i)];
            v = (v << 8) | b;
        }
        return v;
    }

private:
    std::span<const std::uint8_t> bytes_;
    bool bigEndian_;
};

ElfImage Fault(std::string text) {
    ElfImage image;
    image.IsElf = true;
    image.Fault = std::move(text);
    return image;
}

// a + b * c without wrapping: anything past 2^62 is as good as endless.
std::uint64_t Extent(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    constexpr std::uint64_t kCap = std::uint64_t{1} << 62;
    a = std::min(a, kCap);
    const std::uint64_t product = c != 0 && b > kCap / c ? kCap : b * c;
    return std::min(a + std::min(product, kCap), kCap);
}

}  // namespace

ElfImage ReadElfImage(std::span<const std::uint8_t> head) {
    if (head.size() < 4 || head[0] != 0x7F || head[1] != 'E' || head[2] != 'L' || head[3] != 'F') return {};
    if (head.size() < 6) return Fault("the ELF header is cut short");
    const std::uint8_t elfClass = head[4];
    const std::uint8_t data = head[5];
    if (elfClass != 1 && elfClass != 2) return Fault("unknown ELF class");
    if (data != 1 && data != 2) return Fault("unknown ELF byte order");
    const bool wide = elfClass == 2;
    const Reader r(head, data == 2);
    const std::uint64_t headerSize = wide ? 64 : 52;
    if (!r.Has(0, headerSize)) return Fault("the ELF header is cut short");

    const int word = wide ? 8 : 4;
    const std::uint64_t phoff = r.Field(wide ? 0x20 : 0x1C, word);
    const std::uint64_t shoff = r.Field(wide ? 0x28 : 0x20, word);
    const std::uint64_t ehsize = r.Field(wide ? 0x34 : 0x28, 2);
    const std::uint64_t phentsize = r.Field(wide ? 0x36 : 0x2A, 2);
    const std::uint64_t phnum = r.Field(wide ? 0x38 : 0x2C, 2);
    const std::uint64_t shentsize = r.Field(wide ? 0x3A : 0x2E, 2);
    const std::uint64_t shnum = r.Field(wide ? 0x3C : 0x30, 2);

    std::uint64_t end = std::max(headerSize, ehsize);
    end = std::max(end, Extent(shoff, shnum, shentsize));
    if (phnum != 0) {
        const std::uint64_t entrySize = wide ? 56 : 32;
        if (phentsize < entrySize) return Fault("the program headers are too small");
        if (!r.Has(phoff, phnum * phentsize)) return Fault("the program headers lie past the first bytes read");
        end = std::max(end, Extent(phoff, phnum, phentsize));
        for (std::uint64_t i = 0; i < phnum; ++i) {
            const std::uint64_t entry = phoff + i * phentsize;
            const std::uint64_t offset = r.Field(entry + (wide ? 8 : 4), word);
            const std::uint64_t size = r.Field(entry + (wide ? 32 : 16), word);
            end = std::max(end, Extent(offset, size, 1));
        }
    }
    ElfImage image;
    image.IsElf = true;
    image.End = static_cast<std::int64_t>(end);
    return image;
}

}  // namespace qvx::elf
