// The PE reader, the PE checksum and the extent of a program image (PE or ELF) on arbitrary file
// heads. Besides crashing, the target fails when a header read as a PE file names fields that do
// not lie within the bytes it was given, when a malformed header comes without the fault named, or
// when an extent lies outside 0 to 2^31 - 1 or comes without a fault when there is none.
#include <cstdlib>

#include <instcompress/MemoryStream.h>

#include "FuzzSupport.h"
#include "setup/PeFile.h"
#include "setup/ProgramImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> head(data, size);
    const qvx::pe::PeReadResult r = qvx::pe::ReadPeHeaders(head);
    if (r.Kind == qvx::pe::PeKind::Pe) {
        if (std::size_t{r.Headers.ChecksumOffset} + 4 > size) std::abort();
        if (r.Headers.SecurityEntryOffset != 0 && std::size_t{r.Headers.SecurityEntryOffset} + 8 > size) std::abort();
        qvx::TMemoryStream file(head);
        static_cast<void>(qvx::pe::PeChecksum(file, r.Headers.ChecksumOffset));
    } else if (r.Kind == qvx::pe::PeKind::Malformed && r.Fault.empty()) {
        std::abort();
    }
    const qvx::cli::ImageExtent extent = qvx::cli::ProgramImageExtent(head);
    if (extent.End > 0x7FFFFFFF || (extent.End < 0) != !extent.Fault.empty()) std::abort();
    return 0;
}
