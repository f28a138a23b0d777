#include "archive/SourceArchive.h"

#include <optional>

#include <instcompress/ArchiveWriter.h>
#include <instcompress/Exceptions.h>
#include <instcompress/ThreadBudget.h>

#include "archive/EntryPipeline.h"
#include "archive/ToolSettings.h"
#include "platform/FileError.h"
#include "platform/FileStreams.h"

namespace qvx::cli {

namespace {

EntryInfo InfoFor(const SourceFile& file) {
    EntryInfo info;
    info.Name = file.Name;
    info.Stamp = file.Stamp;
    info.Attributes = file.Attributes;
    return info;
}

// Adds one file's entry, from the pipeline when there is one, else compressing it here; returns
// where reading the file ended.
std::int64_t AddFile(ArchiveWriter& writer, EntryPipeline* pipeline, const SourceFile& file,
                     const TShowProgressEvent& progress) {
    if (pipeline != nullptr) {
        if (!progress) return pipeline->AddNextTo(writer, InfoFor(file));
        return pipeline->AddNextTo(writer, InfoFor(file), [&progress](std::int32_t percent) { progress(percent); });
    }
    const auto source = OpenReadFile(file.Path);
    writer.AddEntry(InfoFor(file), *source, file.Size);
    return source->Position();
}

}  // namespace

bool OnlyEmptyFiles(const std::vector<SourceFile>& files) noexcept { return !files.empty() && files.back().Size == 0; }

void WriteSourceArchive(TStream& out, const std::vector<SourceFile>& files, const SourceArchiveOptions& options) {
    const SourceArchiveEvents& events = options.Events;
    // With one worker, the writer compresses each entry itself; a large LH5 entry then searches its
    // stream on the -j threads (this one's share held here, the others taken while free).
    const unsigned threads = EntryPipeline::ThreadsFor(options.Jobs);
    ThreadBudget budget(static_cast<int>(threads));
    std::optional<ThreadBudgetShare> mine;
    ArchiveWriter writer(out, options.Method, events.Progress, kNoYield);
    // Several entries are compressed at once by workers; the writer takes them in order.
    const unsigned workers = EntryPipeline::WorkersFor(options.Jobs, files.size(), options.Method);
    std::optional<EntryPipeline> pipeline;
    if (workers == 1 && threads > 1) {
        mine.emplace(budget);
        writer.UseThreads(&budget);
    }
    if (workers > 1) {
        std::vector<EntryPipeline::Job> work;
        work.reserve(files.size());
        for (const SourceFile& file : files) work.push_back({file.Name, file.Path, file.Size});
        pipeline.emplace(std::move(work), options.Method, workers);
    }
    for (const SourceFile& file : files) {
        if (events.Adding) events.Adding(file);
        std::int64_t sourceEnd = 0;
        try {
            sourceEnd = AddFile(writer, pipeline ? &*pipeline : nullptr, file, events.Progress);
        } catch (const Exception&) {
            if (events.Failed) events.Failed(file);
            throw;
        }
        if (sourceEnd != file.Size) throw platform::FileError(file.Path, "file changed while being archived");
        if (events.Added) events.Added(file);
    }
    writer.Finish();
}

void WriteThroughTemporaryFile(const std::string& prefix, const std::function<void(TStream&)>& write,
                               const std::function<std::unique_ptr<TStream>()>& open) {
    const auto temp = AnonymousTemporaryFile(prefix);
    write(*temp);
    temp->SetPosition(0);
    open()->CopyFrom(*temp, temp->Size());
}

}  // namespace qvx::cli
