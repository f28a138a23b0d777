// The launcher's resource readers and writers on arbitrary bytes. An input starting with "MZ" is a
// whole program: its resources are read and the program written again with them, which must
// either be refused with a reason or give a program whose resources read back the same. Any
// other input is a resource section at RVA 0x1000: what it parses to must lay out and parse back
// to the same resources, and the version information, manifests and icon groups it holds must be
// read (and the version information and manifest edited) or refused with a reason. Anything but
// BrandingError escaping, or a round trip that differs, fails the target.
#include <cstdlib>

#include "setup/branding/BrandingError.h"
#include "setup/branding/IconFile.h"
#include "setup/branding/Manifest.h"
#include "setup/branding/ResourceSection.h"
#include "setup/branding/VersionResource.h"

namespace {

using namespace qvx::branding;

bool SameResources(const ResourceSet& a, const ResourceSet& b) {
    if (a.Items().size() != b.Items().size()) return false;
    for (std::size_t i = 0; i < a.Items().size(); ++i) {
        const Resource& x = a.Items()[i];
        const Resource& y = b.Items()[i];
        if (!(x.Type == y.Type) || !(x.Name == y.Name) || !(x.Language == y.Language) || x.CodePage != y.CodePage ||
            x.Data != y.Data)
            return false;
    }
    return true;
}

template <typename F>
void Refusable(F f) {
    try {
        f();
    } catch (const BrandingError&) {
    }
}

void ReadContents(const ResourceSet& set) {
    for (const Resource* r : set.OfType(kTypeVersion)) {
        Refusable([&] {
            static_cast<void>(ReadVersionResource(r->Data));
            VersionEdits edits;
            std::string why;
            edits.FileVersion = ParseVersionNumber("1.2.3.4", &why);
            edits.Strings = {{"CompanyName", "fuzz"}};
            const VersionSummary edited = ReadVersionResource(EditVersionResource(r->Data, edits));
            if (edited.FileVersion != edits.FileVersion->Parts) std::abort();
        });
    }
    for (const Resource* r : set.OfType(kTypeManifest)) {
        Refusable([&] {
            const std::string text(r->Data.begin(), r->Data.end());
            CheckManifest(text);
            static_cast<void>(ExecutionLevelOf(text));
            if (ExecutionLevelOf(SetExecutionLevel(text, "asInvoker")) != "asInvoker") std::abort();
        });
    }
    for (const Resource* r : set.OfType(kTypeGroupIcon)) Refusable([&] { static_cast<void>(ReadGroupIcon(r->Data)); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan input(data, size);
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
        Refusable([&] {
            const ResourceSet set = ReadResources(input);
            ReadContents(set);
            const Bytes out = ReplaceResources(input, set);
            if (!SameResources(ReadResources(out), set)) std::abort();
            if (ReplaceResources(out, set) != out) std::abort();
        });
        return 0;
    }
    Refusable([&] {
        const ResourceSet set = ParseResourceDirectory(input, 0x1000);
        ReadContents(set);
        const Bytes laid = BuildResourceDirectory(set, 0x1000);
        if (!SameResources(ParseResourceDirectory(laid, 0x1000), set)) std::abort();
    });
    return 0;
}
