#include "cli/Progress.h"

#include <algorithm>

#include "platform/Terminal.h"

namespace qvx::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr std::size_t kLabelWidth = 32;
}  // namespace

std::string RenderProgressLine(std::string_view label, std::int32_t percent, int width) {
    const std::int32_t p = std::clamp<std::int32_t>(percent, 0, 100);
    std::string line;
    if (label.size() > kLabelWidth) {
        line = "...";
        line += label.substr(label.size() - (kLabelWidth - 3));
    } else {
        line = label;
        line.append(kLabelWidth - label.size(), ' ');
    }
    const int filled = p * width / 100;
    line += " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(width - filled), ' ');
    line += "] ";
    const std::string number = std::to_string(p);
    line.append(3 - number.size(), ' ');
    line += number;
    line += '%';
    return line;
}

bool Progress::ShouldShow(bool quiet) noexcept { return !quiet && StandardErrorIsTerminal(); }

void Progress::Start(std::string label) {
    Finish();
    label_ = std::move(label);
    last_ = -1;
}

void Progress::Update(std::int32_t percent) {
    if (!enabled_ || percent == last_) return;
    last_ = percent;
    const std::string line = RenderProgressLine(label_, percent, kBarWidth);
    std::fputc('\r', out_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    shown_ = true;
}

void Progress::Finish() {
    if (!shown_) return;
    const std::string blank(kLabelWidth + kBarWidth + 8, ' ');
    std::fputc('\r', out_);
    std::fputs(blank.c_str(), out_);
    std::fputc('\r', out_);
    std::fflush(out_);
    shown_ = false;
}

TShowProgressEvent Progress::Handler() {
    if (!enabled_) return {};
    return [this](std::int32_t& percent) { Update(percent); };
}

}  // namespace qvx::cli
