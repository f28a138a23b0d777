#include "setup/branding/ResourceDirectory.h"

#include <algorithm>
#include <map>
#include <set>

#include "setup/branding/BrandingError.h"
#include "setup/branding/Utf16.h"

namespace qvx::branding {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kTableSize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr int kLevels = 3;  // type, name, language
// More than any launcher carries; keeps a directory whose data entries overlap from copying
// the same bytes without end.
constexpr std::uint64_t kMaxTotalData = 64u << 20;

const char* const kLevelNames[kLevels] = {"type", "name", "language"};

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

class DirectoryReader {
public:
    DirectoryReader(ByteSpan section, std::uint32_t rva) : r_(section), rva_(rva) {}

    void ReadTable(std::uint32_t offset, int level, Resource& path) {
        const std::string where =
            "the " + std::string(kLevelNames[level]) + " table at offset " + std::to_string(offset);
        if (!r_.Has(offset, kTableSize)) throw Fault(where + " lies past the end of the section");
        if (!tables_.insert(offset).second) throw Fault(where + " is reached twice");
        const std::uint32_t named = r_.U16(offset + 12);
        const std::uint32_t count = named + r_.U16(offset + 14);
        if (!r_.Has(offset + kTableSize, std::uint64_t{count} * kEntrySize))
            throw Fault(where + " runs past the end of the section");
        std::set<ResourceKey> seen;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t entry = offset + kTableSize + std::uint64_t{i} * kEntrySize;
            const std::uint32_t key = r_.U32(entry);
            const std::uint32_t target = r_.U32(entry + 4);
            if (((key & kHighBit) != 0) != (i < named))
                throw Fault(where + ": entry " + std::to_string(i) +
                            (i < named ? " should be named" : " should be numbered"));
            ResourceKey k = (key & kHighBit) != 0 ? ReadName(key & ~kHighBit) : ResourceKey::Number(key);
            if (!seen.insert(k).second) throw Fault(where + " holds the key " + k.Text() + " twice");
            (level == 0 ? path.Type : level == 1 ? path.Name : path.Language) = std::move(k);
            const bool isTable = (target & kHighBit) != 0;
            if (isTable != (level + 1 < kLevels))
                throw Fault(where + ": entry " + std::to_string(i) +
                            (isTable ? " points at a table instead of data" : " points at data instead of a table"));
            if (isTable)
                ReadTable(target & ~kHighBit, level + 1, path);
            else
                ReadData(target, path);
        }
    }

    ResourceSet Take() { return std::move(set_); }

private:
    static BrandingError Fault(const std::string& what) { return BrandingError("resource directory: " + what); }

    ResourceKey ReadName(std::uint32_t offset) {
        if (!r_.Has(offset, 2))
            throw Fault("a name at offset " + std::to_string(offset) + " lies past the end of the section");
        const std::uint32_t length = r_.U16(offset);
        if (!r_.Has(offset + 2, std::uint64_t{length} * 2))
            throw Fault("the name at offset " + std::to_string(offset) + " runs past the end of the section");
        std::u16string name;
        for (std::uint32_t i = 0; i < length; ++i) name += static_cast<char16_t>(r_.U16(offset + 2 + 2 * i));
        return ResourceKey{0, std::move(name)};
    }

    void ReadData(std::uint32_t offset, const Resource& path) {
        const std::string where = "the data entry at offset " + std::to_string(offset);
        if (!r_.Has(offset, kDataEntrySize)) throw Fault(where + " lies past the end of the section");
        if (!dataEntries_.insert(offset).second) throw Fault(where + " is reached twice");
        const std::uint32_t rva = r_.U32(offset);
        const std::uint32_t size = r_.U32(offset + 4);
        if (rva < rva_ || !r_.Has(rva - rva_, size))
            throw Fault("the data of resource " + path.Type.Text() + "/" + path.Name.Text() +
                        " lies outside the section");
        total_ += size;
        if (total_ > kMaxTotalData) throw Fault("the resources hold more than 64 MB");
        Resource resource = path;
        resource.CodePage = r_.U32(offset + 8);
        const ByteSpan data = r_.Slice(rva - rva_, size);
        resource.Data.assign(data.begin(), data.end());
        set_.Put(std::move(resource));
    }

    ByteReader r_;
    std::uint32_t rva_;
    std::set<std::uint32_t> tables_;
    std::set<std::uint32_t> dataEntries_;
    std::uint64_t total_ = 0;
    ResourceSet set_;
};

// Appends a directory table of the keys; targets are filled in later.
std::size_t AppendTable(Bytes& out, const std::vector<ResourceKey>& keys) {
    const std::size_t at = out.size();
    const auto named = static_cast<std::uint32_t>(
        std::count_if(keys.begin(), keys.end(), [](const ResourceKey& k) { return k.Name.has_value(); }));
    out.resize(at + kTableSize + keys.size() * kEntrySize, 0);
    Put16(out, at + 12, named);
    Put16(out, at + 14, static_cast<std::uint32_t>(keys.size()) - named);
    return at;
}

}  // namespace

std::strong_ordering ResourceKey::operator<=>(const ResourceKey& other) const {
    if (Name.has_value() != other.Name.has_value())
        return Name.has_value() ? std::strong_ordering::less : std::strong_ordering::greater;
    if (!Name) return Id <=> other.Id;
    const std::u16string& a = *Name;
    const std::u16string& b = *other.Name;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (const auto c = FoldCase(a[i]) <=> FoldCase(b[i]); c != 0) return c;
    if (const auto c = a.size() <=> b.size(); c != 0) return c;
    return a <=> b;
}

std::string ResourceKey::Text() const { return Name ? ToUtf8(*Name) : std::to_string(Id); }

std::vector<const Resource*> ResourceSet::OfType(std::uint32_t type) const {
    std::vector<const Resource*> found;
    for (const Resource& r : items_)
        if (r.Type == ResourceKey::Number(type)) found.push_back(&r);
    return found;
}

void ResourceSet::Put(Resource resource) {
    const auto key = [](const Resource& r) { return std::tie(r.Type, r.Name, r.Language); };
    const auto at = std::lower_bound(items_.begin(), items_.end(), resource,
                                     [&](const Resource& a, const Resource& b) { return key(a) < key(b); });
    if (at != items_.end() && key(*at) == key(resource))
        *at = std::move(resource);
    else
        items_.insert(at, std::move(resource));
}

void ResourceSet::RemoveType(std::uint32_t type) {
    std::erase_if(items_, [&](const Resource& r) { return r.Type == ResourceKey::Number(type); });
}

ResourceSet ParseResourceDirectory(ByteSpan section, std::uint32_t sectionRva) {
    DirectoryReader reader(section, sectionRva);
    Resource path;
    reader.ReadTable(0, 0, path);
    return reader.Take();
}

Bytes BuildResourceDirectory(const ResourceSet& resources, std::uint32_t sectionRva) {
    const std::vector<Resource>& items = resources.Items();
    // The tree: for each type its names, for each name its resources (indices into items).
    std::map<ResourceKey, std::map<ResourceKey, std::vector<std::size_t>>> tree;
    for (std::size_t i = 0; i < items.size(); ++i) tree[items[i].Type][items[i].Name].push_back(i);

    Bytes out;
    std::vector<std::pair<std::size_t, const std::u16string*>> names;  // entries keyed by a name
    const auto setEntry = [&](std::size_t table, std::size_t index, const ResourceKey& key, std::uint32_t target) {
        const std::size_t entry = table + kTableSize + index * kEntrySize;
        if (key.Name)
            names.emplace_back(entry, &*key.Name);
        else
            Put32(out, entry, key.Id);
        Put32(out, entry + 4, target);
        return entry;
    };

    // The root, then for each type its table followed by the tables of its names.
    std::vector<ResourceKey> typeKeys;
    for (const auto& [type, byName] : tree) typeKeys.push_back(type);
    const std::size_t root = AppendTable(out, typeKeys);
    std::vector<std::pair<std::size_t, std::size_t>> leaves;  // (language entry, item)
    std::size_t t = 0;
    for (const auto& [type, byName] : tree) {
        std::vector<ResourceKey> nameKeys;
        for (const auto& [name, indices] : byName) nameKeys.push_back(name);
        const std::size_t nameTable = AppendTable(out, nameKeys);
        setEntry(root, t++, type, kHighBit | static_cast<std::uint32_t>(nameTable));
        std::size_t n = 0;
        for (const auto& [name, indices] : byName) {
            std::vector<ResourceKey> keys;
            for (const std::size_t i : indices) keys.push_back(items[i].Language);
            const std::size_t table = AppendTable(out, keys);
            setEntry(nameTable, n++, name, kHighBit | static_cast<std::uint32_t>(table));
            for (std::size_t l = 0; l < indices.size(); ++l)
                leaves.emplace_back(setEntry(table, l, items[indices[l]].Language, 0), indices[l]);
        }
    }
    // The data entries, in the order of the leaves.
    std::vector<std::size_t> dataEntries;
    for (const auto& [entry, item] : leaves) {
        Put32(out, entry + 4, static_cast<std::uint32_t>(out.size()));
        dataEntries.push_back(out.size());
        out.resize(out.size() + kDataEntrySize, 0);
    }
    // The names.
    for (const auto& [entry, name] : names) {
        Put32(out, entry, kHighBit | static_cast<std::uint32_t>(out.size()));
        Append16(out, static_cast<std::uint32_t>(name->size()));
        for (const char16_t c : *name) Append16(out, c);
    }
    // The bytes of the resources.
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const Resource& resource = items[leaves[i].second];
        PadTo(out, 8);
        Put32(out, dataEntries[i], sectionRva + static_cast<std::uint32_t>(out.size()));
        Put32(out, dataEntries[i] + 4, static_cast<std::uint32_t>(resource.Data.size()));
        Put32(out, dataEntries[i] + 8, resource.CodePage);
        out.insert(out.end(), resource.Data.begin(), resource.Data.end());
    }
    PadTo(out, 8);
    return out;
}

}  // namespace qvx::branding
