// The walk over the selected entries of an archive that list, test, cat and extract share: open
// the archive the command names (ArchiveInput.h), read its header, walk its entries in order,
// select each by its name (EntrySelection.h, the name decoded in the command's code page) and skip
// the ones not selected; then tell why the archive is not whole and report the patterns that
// selected nothing. What a command does with an entry is its visitor: every entry may be looked at
// before it is selected (Each), and a selected entry is the command's to expand, list or pass over
// (Selected). The component (its yield, checks and progress) stays the command's.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "archive/EntrySelection.h"
#include "archive/ReadAhead.h"
#include "commands/ArchiveInput.h"
#include "names/CodePage.h"

namespace qvx::cli {

// What a reading command does with the entries of the walk.
struct EntryVisitor {
    // Every entry as it is read, selected or not, before it is selected; may be left empty.
    std::function<void(const ArchiveEntry&)> Each{};
    // A selected entry: before it returns, the entry is expanded or skipped, or the walker is put
    // past it (ArchiveWalker::SeekPastEntry).
    std::function<void(const ArchiveEntry&)> Selected{};
};

// How the archive is opened for the walk.
struct WalkSettings {
    // Refuse an input too short for an archive header: FileError "not an archive" (the library
    // reads a short stream as an empty archive; test is asked about the file).
    bool WholeHeader = false;
    // Read the entry headers and names through a ReadAhead buffer, not with a system call each.
    bool ReadAhead = false;
};

class SelectedEntries {
public:
    // Opens the archive the input names and reads its header with the component's settings; raises
    // as OpenArchiveInput and ArchiveWalker do. The component is borrowed for the object's life.
    SelectedEntries(const TQuorvexCompress& component, const ArchiveInputOptions& input,
                    const SelectionOptions& selection, const CodePage& names, WalkSettings settings = {});
    SelectedEntries(const SelectedEntries&) = delete;
    SelectedEntries& operator=(const SelectedEntries&) = delete;

    OpenedArchive& Archive() noexcept { return archive_; }
    ArchiveWalker& Walker() noexcept { return *walker_; }

    // Walks the entries to the end: each is shown to visitor.Each, then handed to visitor.Selected
    // when the patterns select it, else skipped. An exception of the visitor or the walk ends it.
    void Walk(const EntryVisitor& visitor);

    // After the walk: why the archive is not whole, or empty (OpenedArchive::TruncationProblem).
    std::string TruncationProblem() const { return archive_.TruncationProblem(); }

    // Reports "<archive>: <pattern>: no such entry" for every include pattern that selected no
    // entry, in the order given; returns the data-error exit code when it reported one, else
    // exitCode.
    int ReportUnmatched(int exitCode) const;

private:
    const std::string path_;
    CodePage names_;
    EntrySelection selection_;
    OpenedArchive archive_;
    std::optional<ReadAhead> readAhead_;
    std::optional<ArchiveWalker> walker_;
};

}  // namespace qvx::cli
