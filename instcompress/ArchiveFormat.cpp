#include <instcompress/ArchiveFormat.h>

#include <instcompress/ByteOrder.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvx {

std::array<std::uint8_t, ArchiveHeader::kSize> ArchiveHeader::Encode() const {
    std::array<std::uint8_t, kSize> b{};
    for (std::size_t i = 0; i < 5; ++i) b[i] = Magic[i];
    for (std::size_t i = 0; i < 3; ++i) b[5 + i] = static_cast<std::uint8_t>(MethodId[i]);
    StoreLe32(&b[8], static_cast<std::uint32_t>(TotalSize));
    b[12] = ArchiveType;
    StoreLe32(&b[13], Reserved1);
    StoreLe32(&b[17], Reserved2);
    return b;
}

ArchiveHeader ArchiveHeader::Decode(const std::array<std::uint8_t, kSize>& b) {
    ArchiveHeader h;
    for (std::size_t i = 0; i < 5; ++i) h.Magic[i] = b[i];
    for (std::size_t i = 0; i < 3; ++i) h.MethodId[i] = static_cast<char>(b[5 + i]);
    h.TotalSize = static_cast<std::int32_t>(LoadLe32(&b[8]));
    h.ArchiveType = b[12];
    h.Reserved1 = LoadLe32(&b[13]);
    h.Reserved2 = LoadLe32(&b[17]);
    return h;
}

std::array<std::uint8_t, EntryHeader::kSize> EntryHeader::Encode() const {
    std::array<std::uint8_t, kSize> b{};
    StoreLe16(&b[0], static_cast<std::uint16_t>(NameLength));
    StoreLe16(&b[2], FileTime);
    StoreLe16(&b[4], FileDate);
    StoreLe16(&b[6], Attributes);
    StoreLe32(&b[8], static_cast<std::uint32_t>(ExpandedSize));
    StoreLe32(&b[12], static_cast<std::uint32_t>(StoredSize));
    b[16] = MethodIndex;
    StoreLe32(&b[17], Checksum);
    StoreLe32(&b[21], EntryReserved);
    return b;
}

EntryHeader EntryHeader::Decode(const std::array<std::uint8_t, kSize>& b) {
    EntryHeader e;
    e.NameLength = static_cast<std::int16_t>(LoadLe16(&b[0]));
    e.FileTime = LoadLe16(&b[2]);
    e.FileDate = LoadLe16(&b[4]);
    e.Attributes = LoadLe16(&b[6]);
    e.ExpandedSize = static_cast<std::int32_t>(LoadLe32(&b[8]));
    e.StoredSize = static_cast<std::int32_t>(LoadLe32(&b[12]));
    e.MethodIndex = b[16];
    e.Checksum = LoadLe32(&b[17]);
    e.EntryReserved = LoadLe32(&b[21]);
    return e;
}

ArchiveHeader MakeArchiveHeader(std::string_view methodId, std::int32_t totalSize, std::uint8_t archiveType) noexcept {
    ArchiveHeader header;
    header.Magic = kArchiveMagic;
    for (std::size_t i = 0; i < 3; ++i) header.MethodId[i] = i < methodId.size() ? methodId[i] : '\0';
    header.TotalSize = totalSize;
    header.ArchiveType = archiveType;
    return header;
}

std::uint32_t ByteSum(const std::uint8_t* data, std::size_t size, std::uint32_t start) noexcept {
    std::uint32_t sum = start;
    std::size_t i = 0;
#if defined(__SSE2__)
    // 64 bytes a step: the sum of absolute differences against zero adds each 8-byte half into a
    // 64-bit lane (one instruction for 16 bytes instead of widening them).
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    auto sad = [&](std::size_t at) {
        return _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), zero);
    };
    for (; i + 64 <= size; i += 64)
        acc = _mm_add_epi64(acc,
                            _mm_add_epi64(_mm_add_epi64(sad(i), sad(i + 16)), _mm_add_epi64(sad(i + 32), sad(i + 48))));
    for (; i + 16 <= size; i += 16) acc = _mm_add_epi64(acc, sad(i));
    sum += static_cast<std::uint32_t>(_mm_cvtsi128_si32(acc)) +
           static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(acc, acc)));
#endif
    for (; i < size; ++i) sum += data[i];
    return sum;
}

}  // namespace qvx
