#include "MainSequence.h"

#include <array>
#include <memory>
#include <new>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>
#include <instcompress/QuorvexCompress.h>

#include "ErrorReport.h"
#include "LauncherErrors.h"
#include "PayloadLocator.h"

namespace qvx::launcher {

namespace {

// Reads the first archive's length at the payload offset and checks that it fits the file.
std::int32_t ReadArchiveSize(TStream& source, std::int32_t offset) {
    source.SetPosition(offset);
    std::array<unsigned char, 4> b{};
    source.ReadBuffer(b.data(), 4);
    const auto size = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                                (static_cast<std::uint32_t>(b[2]) << 16) |
                                                (static_cast<std::uint32_t>(b[3]) << 24));
    const std::int64_t available = source.Size() - offset - 4;
    if (size < 0 || size > available) {
        throw EInvalidSize("Invalid payload: the first archive's length " +
                           std::to_string(static_cast<std::uint32_t>(size)) + " exceeds the " +
                           std::to_string(available) + " bytes behind it");
    }
    return size;
}

// Copies the first archive into the staged archive file.
void StageArchive(TStream& source, const std::string& tempArchivePath, std::int32_t archiveSize) {
    TFileStream target(tempArchivePath, FileMode::Create);
    target.CopyFrom(source, archiveSize);
}

// Expands the engine entry into enginePath, or into the staged archive's directory when the file
// cannot be created there. Returns the path the engine was written to. A failed or missing
// expansion removes the engine file and raises.
std::string ExpandEngine(Platform& platform, const std::string& tempArchivePath, std::string enginePath) {
    std::unique_ptr<TFileStream> target;
    try {
        target = std::make_unique<TFileStream>(enginePath, FileMode::Create);
    } catch (const EFCreateError&) {
        enginePath = DirectoryPart(platform, tempArchivePath) + kEngineFileName;
        target = std::make_unique<TFileStream>(enginePath, FileMode::Create);
    }
    int found = 0;
    try {
        found = ExtractEntryToStream(tempArchivePath, *target, kEngineEntryName, {});
    } catch (...) {
        target.reset();
        platform.RemoveFile(enginePath);
        throw;
    }
    target.reset();
    if (found == 0) {
        platform.RemoveFile(enginePath);
        throw EEngineNotFound(std::string("The setup archive holds no entry ") + kEngineEntryName);
    }
    return enginePath;
}

int MainSequence(Platform& platform) {
    const std::string ownPath = platform.ModuleFileName();
    const std::int32_t offset = PayloadLocator(ownPath);
    if (offset < 1) {
        platform.Beep();
        return 0;
    }

    std::string tempArchivePath;
    std::string enginePath;
    {
        TFileStream source(ownPath, FileMode::ReadShared);
        const std::int32_t archiveSize = ReadArchiveSize(source, offset);
        tempArchivePath = platform.MakeTempArchiveName();
        enginePath = GetWindowsDirPath(platform) + kEngineFileName;
        StageArchive(source, tempArchivePath, archiveSize);
    }

    enginePath = ExpandEngine(platform, tempArchivePath, enginePath);

    EngineCommand command;
    command.Program = enginePath;
    command.Parameters = EngineParameters(ownPath, tempArchivePath);
    command.Arguments = {"/SOURCE=" + ownPath, "/DATA=" + tempArchivePath};
    command.ShowCommand = 1;
    const RunResult result = platform.RunAndWait(command);
    if (!result.Started) {
        throw EEngineStartError("Cannot start " + enginePath + (result.Error.empty() ? "" : ": " + result.Error));
    }
    return 0;
}

void Report(Platform& platform, std::string_view className, std::string_view message) noexcept {
    try {
        std::string module;
        try {
            module = platform.ModuleFileName();
        } catch (...) {
        }
        const std::string_view base = module.empty() ? std::string_view("Setup") : ModuleBaseName(module);
        platform.ShowErrorReport(kErrorReportTitle,
                                 FormatErrorReport(className, base, platform.FailureAddress(), message));
    } catch (...) {
        // Nothing is left to report through.
    }
}

}  // namespace

std::string GetWindowsDirPath(Platform& platform) {
    std::string dir = platform.WindowsDirectory();
    if (dir.empty() || dir.back() != platform.PathDelimiter()) dir.push_back(platform.PathDelimiter());
    return dir;
}

std::string DirectoryPart(const Platform& platform, const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (platform.IsDirectoryDelimiter(path[i - 1])) return path.substr(0, i);
    }
    return {};
}

std::string EngineParameters(const std::string& ownPath, const std::string& tempArchivePath) {
    return "\"/SOURCE=" + ownPath + "\" \"/DATA=" + tempArchivePath + "\"";
}

int ExtractEntryToStream(const std::string& archivePath, TStream& dest, const std::string& entryName,
                         TShowProgressEvent progress) {
    TQuorvexCompress component;
    component.SetOnShowProgress(std::move(progress));
    int matches = 0;
    WalkArchive(component, archivePath, [&](const ArchiveEntry& entry) -> TStream* {
        if (!SameEntryName(entry.Name, entryName)) return nullptr;
        ++matches;
        return &dest;
    });
    return matches;
}

int RunLauncher(Platform& platform) noexcept {
    try {
        return MainSequence(platform);
    } catch (const Exception& e) {
        Report(platform, e.ClassName(), e.Message());
    } catch (const std::bad_alloc&) {
        Report(platform, "EOutOfMemory", "Out of memory");
    } catch (const std::exception& e) {
        Report(platform, "Exception", e.what());
    } catch (...) {
        Report(platform, "Exception", "");
    }
    return 1;
}

}  // namespace qvx::launcher
