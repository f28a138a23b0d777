// QuorvexEngine: an example installer engine. The launcher starts it with
//   "/SOURCE=<setup file>" "/DATA=<staged first archive>"
// It lists the staged archive, then reads the second payload block of the setup file and expands
// every entry of its archive into the install directory: $QVX_INSTALL_DIR, or "installed" in the
// current directory. Entry names are relative paths with "\" separators; names that are absolute
// or climb out of the install directory are refused. Names go to the system as the archive holds
// them, bytes of the ANSI code page on Windows. When $QVX_INSTALL_LIST names a file, the engine
// reads the install directory back afterwards and writes there the name of every file in it as
// the system reports it (ANSI bytes on Windows), relative with "\" separators, one per line in
// byte order. Exit code 0 on success, 1 on failure.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "EngineFiles.h"
#include "EngineSetupFile.h"

namespace {

struct Arguments {
    std::string Source;
    std::string Data;
};

Arguments ParseArguments(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a.starts_with("/SOURCE="))
            args.Source = a.substr(8);
        else if (a.starts_with("/DATA="))
            args.Data = a.substr(6);
        else
            std::fprintf(stderr, "QuorvexEngine: ignoring argument %s\n", argv[i]);
    }
    return args;
}

// The install path of an entry name, or an empty string for a name that must not be written.
std::string InstallPath(const std::string& root, const std::string& name) {
    std::string relative;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('\\', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.find_first_of("/:") != std::string::npos) return {};
        relative += qvx::example::kPathSeparator + part;
        start = end + 1;
    }
    return root + relative;
}

void ListStagedArchive(const std::string& path) {
    qvx::TQuorvexCompress component;
    std::printf("staged archive %s:\n", path.c_str());
    WalkArchive(component, path, [](const qvx::ArchiveEntry& e) -> qvx::TStream* {
        std::printf("  %s (%d bytes)\n", e.Name.c_str(), e.Header.ExpandedSize);
        return nullptr;
    });
}

int Install(const std::string& setupPath, const std::string& root) {
    qvx::TMemoryStream archive(qvx::example::ReadDataArchive(setupPath));
    std::printf("installing into %s:\n", root.c_str());
    qvx::example::CreateDirectories(root);
    qvx::TQuorvexCompress component;
    std::unique_ptr<qvx::TFileStream> out;
    int files = 0;
    int refused = 0;
    WalkArchive(component, archive, [&](const qvx::ArchiveEntry& e) -> qvx::TStream* {
        out.reset();
        const std::string target = InstallPath(root, e.Name);
        if (target.empty()) {
            std::fprintf(stderr, "QuorvexEngine: refusing entry name %s\n", e.Name.c_str());
            ++refused;
            return nullptr;
        }
        qvx::example::CreateDirectories(target.substr(0, target.rfind(qvx::example::kPathSeparator)));
        out = std::make_unique<qvx::TFileStream>(target, qvx::FileMode::Create);
        std::printf("  %s (%d bytes)\n", target.c_str(), e.Header.ExpandedSize);
        ++files;
        return out.get();
    });
    out.reset();
    std::printf("installed %d file%s\n", files, files == 1 ? "" : "s");
    return refused == 0 ? 0 : 1;
}

// Writes the names of the files below root, one per line, to listPath.
void WriteInstalledList(const std::string& root, const std::string& listPath) {
    std::string text;
    for (const std::string& name : qvx::example::ListFiles(root)) text += name + "\n";
    qvx::TFileStream list(listPath, qvx::FileMode::Create);
    list.WriteBuffer(text.data(), static_cast<std::int32_t>(text.size()));
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = ParseArguments(argc, argv);
    if (args.Source.empty() || args.Data.empty()) {
        std::fprintf(stderr, "usage: QuorvexEngine \"/SOURCE=<setup file>\" \"/DATA=<staged archive>\"\n");
        return 1;
    }
    std::printf("QuorvexEngine: /SOURCE=%s\nQuorvexEngine: /DATA=%s\n", args.Source.c_str(), args.Data.c_str());
    try {
        ListStagedArchive(args.Data);
        const char* env = std::getenv("QVX_INSTALL_DIR");
        const std::string root = (env != nullptr && *env != '\0') ? env : "installed";
        const int status = Install(args.Source, root);
        if (const char* list = std::getenv("QVX_INSTALL_LIST"); list != nullptr && *list != '\0')
            WriteInstalledList(root, list);
        return status;
    } catch (const qvx::Exception& e) {
        std::fprintf(stderr, "QuorvexEngine: %s: %s\n", e.ClassName(), e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "QuorvexEngine: %s\n", e.what());
    }
    return 1;
}
