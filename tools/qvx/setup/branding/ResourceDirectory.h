// The resource directory of a Windows program (the .rsrc section): a tree of three levels, type,
// name and language, whose leaves are data entries pointing at the bytes of one resource.
//
//   directory table   u32 characteristics, u32 time stamp, u16 major, u16 minor version,
//                     u16 named entries, u16 numbered entries (16 bytes), then the entries:
//   entry             u32 key: a number, or with the high bit set the offset of a name
//                     (u16 length, then that many UTF-16 units);
//                     u32 target: with the high bit set the offset of the next level's table,
//                     else (on the third level) the offset of a data entry
//   data entry        u32 RVA of the bytes, u32 size, u32 code page, u32 reserved (16 bytes)
//
// Offsets count from the start of the directory; the bytes are addressed by RVA. Named entries
// come first, in ascending order ignoring case, then the numbered ones in ascending order.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/branding/LittleEndian.h"

namespace qvx::branding {

inline constexpr std::uint32_t kTypeIcon = 3;
inline constexpr std::uint32_t kTypeGroupIcon = 14;
inline constexpr std::uint32_t kTypeVersion = 16;
inline constexpr std::uint32_t kTypeManifest = 24;

// A key of one level: a number, or a name.
struct ResourceKey {
    std::uint32_t Id = 0;
    std::optional<std::u16string> Name;

    static ResourceKey Number(std::uint32_t id) { return ResourceKey{id, std::nullopt}; }
    bool operator==(const ResourceKey&) const = default;
    // Directory order: names first (ignoring the case of ASCII letters, then exactly), then numbers.
    std::strong_ordering operator<=>(const ResourceKey& other) const;
    // The number, or the name in UTF-8.
    std::string Text() const;
};

struct Resource {
    ResourceKey Type;
    ResourceKey Name;
    ResourceKey Language;
    std::uint32_t CodePage = 0;
    Bytes Data;
};

// Every resource of a program, in directory order (type, name, language).
class ResourceSet {
public:
    const std::vector<Resource>& Items() const noexcept { return items_; }
    bool Empty() const noexcept { return items_.empty(); }
    // The resources of a type, in directory order.
    std::vector<const Resource*> OfType(std::uint32_t type) const;
    // Adds a resource, or replaces the one of the same type, name and language.
    void Put(Resource resource);
    void RemoveType(std::uint32_t type);

private:
    std::vector<Resource> items_;
};

// Reads the directory that starts at the first byte of section, whose first byte has the given
// RVA; every resource's bytes must lie within section. Raises BrandingError naming the fault.
ResourceSet ParseResourceDirectory(ByteSpan section, std::uint32_t sectionRva);

// Lays out a directory of the resources for a section at sectionRva as resource compilers do:
// the root table, each type's table followed by its names' tables, the data entries, the names,
// then each resource's bytes on an 8-byte boundary. The same set gives the same bytes.
Bytes BuildResourceDirectory(const ResourceSet& resources, std::uint32_t sectionRva);

}  // namespace qvx::branding
