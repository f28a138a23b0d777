// Progress: a one-line progress bar on stderr, driven by the archive component's OnShowProgress.
// It draws only when enabled (standard error is a terminal and -q was not given), redraws only
// when the percentage changes, and erases itself when the work ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <instcompress/Events.h>

namespace qvx::cli {

class Progress {
public:
    Progress(std::FILE* out, bool enabled) noexcept : out_(out), enabled_(enabled) {}
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Progress on stderr, enabled when stderr is a terminal and quiet is false.
    static bool ShouldShow(bool quiet) noexcept;

    // Begins a new piece of work shown under label.
    void Start(std::string label);
    void Update(std::int32_t percent);
    // Erases the bar if one is shown.
    void Finish();

    // An OnShowProgress handler that updates this bar (never cancels).
    TShowProgressEvent Handler();

private:
    std::FILE* out_;
    bool enabled_;
    bool shown_ = false;
    std::int32_t last_ = -1;
    std::string label_;
};

// The text of one progress line (without the leading carriage return): the label cut or padded
// to a fixed width, a bar of width cells and the percentage clamped to 0..100.
std::string RenderProgressLine(std::string_view label, std::int32_t percent, int width);

}  // namespace qvx::cli
