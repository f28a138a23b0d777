#include "MainSequence.h"

#include <array>
#include <memory>
#include <new>

#include <instcompress/ByteOrder.h>
#include <instcompress/Exceptions.h>

#include "EnginePlacement.h"
#include "ErrorReport.h"
#include "LauncherErrors.h"
#include "LauncherFile.h"
#include "PayloadLocator.h"

namespace qvx::launcher {

namespace {

// Reads the first archive's length at the payload offset and checks that it fits the file.
std::int32_t ReadArchiveSize(TStream& source, std::int32_t offset) {
    source.SetPosition(offset);
    std::array<std::uint8_t, 4> b{};
    source.ReadBuffer(b.data(), 4);
    const auto size = static_cast<std::int32_t>(LoadLe32(b.data()));
    const std::int64_t available = source.Size() - offset - 4;
    if (size < 0 || size > available) {
        throw EInvalidSize("Invalid payload: the first archive's length " +
                           std::to_string(static_cast<std::uint32_t>(size)) + " exceeds the " +
                           std::to_string(available) + " bytes behind it");
    }
    return size;
}

// The files of one run. Unless the run is kept, they are removed again on every path (the engine
// and the staged archive, then the run's temporary directory).
class RunFiles {
public:
    explicit RunFiles(Platform& platform) : platform_(platform) {}
    ~RunFiles() {
        if (kept_) return;
        if (Engine) Engine->Remove();
        if (Archive) Archive->Remove();
        if (!Directory.empty()) platform_.ReleaseTempDirectory(Directory);
    }
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;
    void Keep() noexcept { kept_ = true; }

    std::string Directory;
    std::unique_ptr<LauncherFile> Archive;
    std::unique_ptr<LauncherFile> Engine;

private:
    Platform& platform_;
    bool kept_ = false;
};

int MainSequence(Platform& platform) {
    const std::string ownPath = platform.ModuleFileName();
    std::unique_ptr<LauncherFile> source = LauncherFile::OpenReadShared(ownPath);
    const std::int32_t offset = PayloadLocator(*source);
    if (offset < 1) {
        platform.Beep();
        return 0;
    }
    const std::int32_t archiveSize = ReadArchiveSize(*source, offset);

    RunFiles run(platform);
    run.Directory = platform.TempDirectory();
    const std::uint32_t seed = platform.UniqueSeed();
    run.Archive = CreateUniqueFile(run.Directory, kTempArchivePrefix, kTempArchiveSuffix, seed, false);
    run.Archive->CopyFrom(*source, archiveSize);
    source.reset();

    run.Engine = PlaceEngine(*run.Archive, GetWindowsDirPath(platform), seed);
    if (!run.Engine) {
        const std::string fallback = DirectoryPart(platform, run.Archive->Path());
        run.Engine = PlaceEngine(*run.Archive, fallback, seed);
        if (!run.Engine) throw EFCreateError("Cannot create file " + fallback + kEngineFileName);
    }
    // The engine opens the staged archive itself.
    run.Archive->Close();

    const std::string& tempArchivePath = run.Archive->Path();
    EngineCommand command;
    command.Program = run.Engine->Path();
    command.Parameters = EngineParameters(ownPath, tempArchivePath);
    command.Arguments = {"/SOURCE=" + ownPath, "/DATA=" + tempArchivePath};
    command.ShowCommand = 1;
    const RunResult result = platform.RunAndWait(command, *run.Engine);
    if (!result.Started) {
        throw EEngineStartError("Cannot start " + command.Program + (result.Error.empty() ? "" : ": " + result.Error));
    }
    run.Keep();
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
