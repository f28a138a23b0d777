#include "EnginePlacement.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <instcompress/Exceptions.h>

#include "EngineEntry.h"
#include "LauncherErrors.h"

namespace qvx::launcher {

namespace {

constexpr char kTemporaryPrefix[] = "Quorvex";
constexpr char kTemporarySuffix[] = ".tmp";

// Takes what is written and compares it with the bytes read from a file.
class TComparingStream final : public TStream {
public:
    explicit TComparingStream(TStream& file) : file_(file) {}

    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        for (std::int32_t done = 0; done < count;) {
            const std::int32_t piece = std::min<std::int32_t>(count - done, static_cast<std::int32_t>(block_.size()));
            if (file_.Read(block_.data(), piece) != piece ||
                std::memcmp(block_.data(), bytes + done, static_cast<std::size_t>(piece)) != 0)
                same_ = false;
            done += piece;
        }
        position_ += count < 0 ? 0 : count;
        return count;
    }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return position_; }
    bool Same() const noexcept { return same_; }

private:
    TStream& file_;
    std::array<unsigned char, 8192> block_{};
    std::int64_t position_ = 0;
    bool same_ = true;
};

// Removes the file unless kept.
class RemoveUnlessKept {
public:
    explicit RemoveUnlessKept(LauncherFile& file) : file_(file) {}
    ~RemoveUnlessKept() {
        if (!kept_) file_.Remove();
    }
    RemoveUnlessKept(const RemoveUnlessKept&) = delete;
    RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
    void Keep() noexcept { kept_ = true; }

private:
    LauncherFile& file_;
    bool kept_ = false;
};

}  // namespace

void VerifyEngineFile(TStream& archive, LauncherFile& engine) {
    engine.SetPosition(0);
    TComparingStream compare(engine);
    ExpandEngineEntry(archive, compare);
    unsigned char extra = 0;
    if (!compare.Same() || engine.Read(&extra, 1) != 0)
        throw EEngineCheckError("The engine file " + engine.Path() + " was changed before it was started");
}

std::unique_ptr<LauncherFile> PlaceEngine(TStream& archive, const std::string& dir, std::uint32_t seed) {
    const std::string enginePath = dir + kEngineFileName;
    if (LauncherFile::Probe(enginePath) == LauncherFile::Kind::Other) return nullptr;
    std::unique_ptr<LauncherFile> engine;
    try {
        engine = CreateUniqueFile(dir, kTemporaryPrefix, kTemporarySuffix, seed, true);
    } catch (const EFCreateError&) {
        return nullptr;
    }
    RemoveUnlessKept guard(*engine);
    ExpandEngineEntry(archive, *engine);
    if (!engine->Seal()) return nullptr;
    VerifyEngineFile(archive, *engine);
    if (!engine->MoveTo(enginePath)) return nullptr;
    guard.Keep();
    return engine;
}

}  // namespace qvx::launcher
