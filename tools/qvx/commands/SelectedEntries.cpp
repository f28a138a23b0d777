#include "commands/SelectedEntries.h"

#include "cli/Cli.h"
#include "cli/ErrorReport.h"

namespace qvx::cli {

SelectedEntries::SelectedEntries(const TQuorvexCompress& component, const ArchiveInputOptions& input,
                                 const SelectionOptions& selection, const CodePage& names, WalkSettings settings)
    : path_(input.Path), names_(names), selection_(selection), archive_(OpenArchiveInput(input)) {
    if (settings.WholeHeader && !archive_.HoldsArchiveHeader()) throw platform::FileError(path_, "not an archive");
    TStream* stream = &archive_.Stream();
    if (settings.ReadAhead) stream = &readAhead_.emplace(*stream);
    walker_.emplace(component, *stream);
}

void SelectedEntries::Walk(const EntryVisitor& visitor) {
    ArchiveEntry entry;
    while (walker_->Next(entry)) {
        if (visitor.Each) visitor.Each(entry);
        if (!selection_.Select(names_.DecodeForDisplay(entry.Name))) {
            walker_->Skip(entry);
            continue;
        }
        visitor.Selected(entry);
    }
}

int SelectedEntries::ReportUnmatched(int exitCode) const {
    for (const std::string& pattern : selection_.Unmatched()) {
        ReportError(path_, pattern + ": no such entry");
        exitCode = kExitDataError;
    }
    return exitCode;
}

}  // namespace qvx::cli
