#include "setup/LauncherBranding.h"

#include <algorithm>

#include "platform/FileError.h"
#include "platform/FileStreams.h"
#include "setup/PeFile.h"
#include "setup/SetupFile.h"
#include "names/ShownText.h"
#include "SizeMarker.h"
#include "setup/branding/BrandingError.h"
#include "setup/branding/Manifest.h"
#include "setup/branding/PeImage.h"
#include "setup/branding/ResourceSection.h"

namespace qvx::setup {

namespace {

using branding::BrandingError;
using branding::Bytes;
using branding::ResourceKey;
using cli::ShownText;

// US English, the language resource compilers give resources by default.
constexpr std::uint32_t kDefaultLanguage = 0x0409;
constexpr std::int64_t kMaxIconFile = 64 << 20;
constexpr std::int64_t kMaxManifestFile = 1 << 20;
constexpr std::uint64_t kMaxResourceSection = 64u << 20;

Bytes ReadSmallFile(const std::string& path, std::int64_t limit) {
    std::unique_ptr<cli::FileStream> in;
    try {
        in = cli::OpenReadFile(path);
    } catch (const platform::FileError& e) {
        throw platform::FileError(path, std::string("cannot open: ") + e.what(), e.Error());
    }
    if (in->Size() > limit) throw platform::FileError(path, "larger than " + std::to_string(limit >> 20) + " MB");
    Bytes bytes(static_cast<std::size_t>(in->Size()));
    std::size_t have = 0;
    while (have < bytes.size()) {
        const std::int32_t n = in->Read(bytes.data() + have,
                                        static_cast<std::int32_t>(std::min<std::size_t>(bytes.size() - have, 1 << 20)));
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
    }
    if (have != bytes.size()) throw platform::FileError(path, "cannot read the whole file");
    return bytes;
}

template <typename Container>
std::size_t CountMarkers(const Container& bytes) {
    const auto pattern = launcher::MarkerPattern();
    std::size_t count = 0;
    for (auto it = bytes.begin(); (it = std::search(it, bytes.end(), pattern.begin(), pattern.end())) != bytes.end();
         ++it)
        ++count;
    return count;
}

void RefuseMarker(const Bytes& bytes, const std::string& path) {
    if (CountMarkers(bytes) != 0)
        throw platform::FileError(
            path, "holds the launcher's size marker (its eight characters); the marker must stay unique");
}

// The name and language of a type's first resource, or id 1 in the default language.
std::pair<ResourceKey, ResourceKey> PlaceOf(const branding::ResourceSet& set, std::uint32_t type) {
    const auto existing = set.OfType(type);
    if (existing.empty()) return {ResourceKey::Number(1), ResourceKey::Number(kDefaultLanguage)};
    return {existing.front()->Name, existing.front()->Language};
}

void PutIcon(branding::ResourceSet& set, const std::vector<branding::IconImage>& images) {
    const auto [name, language] = PlaceOf(set, branding::kTypeGroupIcon);
    set.RemoveType(branding::kTypeGroupIcon);
    set.RemoveType(branding::kTypeIcon);
    std::uint32_t id = 1;
    for (const branding::IconImage& image : images)
        set.Put({ResourceKey::Number(branding::kTypeIcon), ResourceKey::Number(id++), language, 0, image.Data});
    set.Put({ResourceKey::Number(branding::kTypeGroupIcon), name, language, 0, branding::BuildGroupIcon(images, 1)});
}

void PutVersion(branding::ResourceSet& set, const branding::VersionEdits& edits) {
    std::vector<branding::Resource> versions;
    for (const branding::Resource* r : set.OfType(branding::kTypeVersion)) versions.push_back(*r);
    if (versions.empty())
        versions.push_back({ResourceKey::Number(branding::kTypeVersion),
                            ResourceKey::Number(1),
                            ResourceKey::Number(kDefaultLanguage),
                            0,
                            {}});
    for (branding::Resource& r : versions) {
        r.Data = branding::EditVersionResource(r.Data, edits);
        set.Put(std::move(r));
    }
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

void PutExecutionLevel(branding::ResourceSet& set, const std::string& level) {
    std::vector<branding::Resource> manifests;
    for (const branding::Resource* r : set.OfType(branding::kTypeManifest)) manifests.push_back(*r);
    if (manifests.empty()) {
        set.Put({ResourceKey::Number(branding::kTypeManifest), ResourceKey::Number(1),
                 ResourceKey::Number(kDefaultLanguage), 0, FromText(branding::MinimalManifest(level))});
        return;
    }
    for (branding::Resource& r : manifests) {
        try {
            r.Data = FromText(branding::SetExecutionLevel(Text(r.Data), level));
        } catch (const BrandingError& e) {
            throw BrandingError(std::string("its manifest is ") + e.what());
        }
        set.Put(std::move(r));
    }
}

void PutManifest(branding::ResourceSet& set, const Bytes& manifest) {
    const auto [name, language] = PlaceOf(set, branding::kTypeManifest);
    set.RemoveType(branding::kTypeManifest);
    set.Put({ResourceKey::Number(branding::kTypeManifest), name, language, 0, manifest});
}

branding::ByteSpan AsBytes(const std::vector<char>& v) {
    return {reinterpret_cast<const std::uint8_t*>(v.data()), v.size()};
}

}  // namespace

branding::VersionEdits BrandOptions::VersionEdits() const {
    branding::VersionEdits edits;
    edits.FileVersion = Version;
    edits.ProductVersion = ProductVersion ? ProductVersion : Version;
    if (Version) edits.Strings.emplace_back("FileVersion", Version->Text);
    if (edits.ProductVersion) edits.Strings.emplace_back("ProductVersion", edits.ProductVersion->Text);
    if (ProductName) edits.Strings.emplace_back("ProductName", *ProductName);
    if (Company) edits.Strings.emplace_back("CompanyName", *Company);
    if (Description) edits.Strings.emplace_back("FileDescription", *Description);
    if (Copyright) edits.Strings.emplace_back("LegalCopyright", *Copyright);
    edits.Strings.insert(edits.Strings.end(), Strings.begin(), Strings.end());
    return edits;
}

std::vector<char> BrandLauncher(std::vector<char> image, const BrandOptions& options, const std::string& launcherPath) {
    if (!options.Any()) return image;
    const pe::PeReadResult headers = pe::ReadPeHeaders(AsBytes(image).first(std::min(image.size(), pe::kHeadSize)));
    if (headers.Kind != pe::PeKind::Pe)
        throw platform::FileError(
            launcherPath, "the launcher is not a Windows program: " + options.Given.front() + " needs Setup.exe");

    std::vector<branding::IconImage> icon;
    if (!options.Icon.empty()) {
        const Bytes file = ReadSmallFile(options.Icon, kMaxIconFile);
        try {
            icon = branding::ReadIconFile(file);
        } catch (const BrandingError& e) {
            throw platform::FileError(options.Icon, e.what());
        }
        RefuseMarker(file, options.Icon);
    }
    Bytes manifest;
    if (!options.Manifest.empty()) {
        manifest = ReadSmallFile(options.Manifest, kMaxManifestFile);
        try {
            branding::CheckManifest(Text(manifest));
        } catch (const BrandingError& e) {
            throw platform::FileError(options.Manifest, std::string("not a manifest: ") + e.what());
        }
        RefuseMarker(manifest, options.Manifest);
    }

    std::vector<char> branded;
    try {
        branding::ResourceSet set = branding::ReadResources(AsBytes(image));
        if (!icon.empty()) PutIcon(set, icon);
        const branding::VersionEdits edits = options.VersionEdits();
        if (edits.FileVersion || edits.ProductVersion || !edits.Strings.empty()) PutVersion(set, edits);
        if (!options.Manifest.empty()) PutManifest(set, manifest);
        if (!options.ExecutionLevel.empty()) PutExecutionLevel(set, options.ExecutionLevel);
        const Bytes out = branding::ReplaceResources(AsBytes(image), set);
        branded.assign(out.begin(), out.end());
    } catch (const BrandingError& e) {
        throw platform::FileError(launcherPath, std::string("cannot brand the launcher: ") + e.what());
    }
    if (CountMarkers(branded) != CountMarkers(image))
        throw platform::FileError(launcherPath,
                                  "the version strings hold the launcher's size marker (its eight characters)");
    return branded;
}

LauncherResources ReadLauncherResources(TStream& file) {
    LauncherResources result;
    const Bytes head = pe::ReadHead(file);
    if (pe::ReadPeHeaders(head).Kind != pe::PeKind::Pe) return result;
    result.Windows = true;
    const branding::PeImage image = branding::ReadPeImage(head);
    const branding::ResourceLocation where = branding::LocateResources(image);
    if (!where.Present) return result;
    result.Present = true;
    if (where.FileSize > kMaxResourceSection) throw BrandingError("the resource section is larger than 64 MB");
    Bytes section(where.FileSize);
    file.SetPosition(where.FileOffset);
    if (file.Read(section.data(), static_cast<std::int32_t>(section.size())) !=
        static_cast<std::int32_t>(section.size()))
        throw BrandingError("the resource section runs past the end of the file");
    const branding::ResourceSet set = branding::ParseResourceDirectory(section, where.Rva);

    const auto versions = set.OfType(branding::kTypeVersion);
    for (auto r = versions.rbegin(); r != versions.rend(); ++r)
        result.Version = branding::ReadVersionResource((*r)->Data);
    for (const branding::Resource* r : set.OfType(branding::kTypeManifest)) {
        const std::string text = Text(r->Data);
        try {
            branding::CheckManifest(text);
        } catch (const BrandingError& e) {
            throw BrandingError(std::string("the manifest is ") + e.what());
        }
        if (!result.HasManifest) result.ExecutionLevel = branding::ExecutionLevelOf(text);
        result.HasManifest = true;
    }
    const auto icons = set.OfType(branding::kTypeIcon);
    for (const branding::Resource* group : set.OfType(branding::kTypeGroupIcon)) {
        const auto entries = branding::ReadGroupIcon(group->Data);
        for (const branding::GroupIconEntry& e : entries) {
            const auto found = std::find_if(icons.begin(), icons.end(), [&](const branding::Resource* r) {
                return r->Name == ResourceKey::Number(e.Id);
            });
            if (found == icons.end())
                throw BrandingError("icon group " + group->Name.Text() + " names image " + std::to_string(e.Id) +
                                    ", which is missing");
            if ((*found)->Data.size() != e.Size)
                throw BrandingError("icon group " + group->Name.Text() + " gives image " + std::to_string(e.Id) + " " +
                                    std::to_string(e.Size) + " bytes; it holds " +
                                    std::to_string((*found)->Data.size()));
        }
        if (result.Icon.empty()) result.Icon = entries;
    }
    return result;
}

LauncherResources ReadResourcesOf(TStream& file, const std::string& name) {
    try {
        return ReadLauncherResources(file);
    } catch (const BrandingError& e) {
        throw platform::FileError(name, std::string("the launcher's resources are damaged: ") + e.what());
    }
}

std::string SummarizeResources(const LauncherResources& r) {
    std::string text =
        r.Version ? "version " + branding::VersionText(r.Version->FileVersion) : "no version information";
    text += r.HasManifest ? ", manifest " + ShownText(r.ExecutionLevel.value_or("without an execution level"))
                          : ", no manifest";
    text += r.Icon.empty() ? ", no icon"
                           : ", icon of " + std::to_string(r.Icon.size()) + (r.Icon.size() == 1 ? " image" : " images");
    return text;
}

std::string DescribeResources(const LauncherResources& r) {
    if (!r.Windows) return {};
    if (!r.Present) return "resources: none\n";
    std::string text;
    if (r.Version) {
        text += "file version: " + branding::VersionText(r.Version->FileVersion) + "\n";
        text += "product version: " + branding::VersionText(r.Version->ProductVersion) + "\n";
        for (const auto& table : r.Version->Tables) {
            text += "version strings (" + ShownText(table.Language) + "):\n";
            for (const auto& [key, value] : table.Strings)
                text += "  " + ShownText(key) + ": " + ShownText(value) + "\n";
        }
    } else {
        text += "version information: none\n";
    }
    text += "execution level: " +
            ShownText(r.HasManifest ? r.ExecutionLevel.value_or("none requested") : "none (no manifest)") + "\n";
    if (r.Icon.empty()) return text + "icon: none\n";
    text += "icon: " + std::to_string(r.Icon.size()) + (r.Icon.size() == 1 ? " image (" : " images (");
    for (std::size_t i = 0; i < r.Icon.size(); ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(r.Icon[i].Width) + "x" + std::to_string(r.Icon[i].Height);
    return text + ")\n";
}

}  // namespace qvx::setup
