// LzhWorkspace: the working storage of one LZH run (compression or expansion): the window, the
// adaptive model and the match dictionary. Each run allocates its own and releases it however the
// run ends; nothing carries over between runs.
#pragma once

#include <cstdint>
#include <memory>

#include "AdaptiveModel.h"
#include "LzhWindow.h"
#include "MatchDictionary.h"

namespace qvx::lzh {

static_assert(AdaptiveModel::kSymbols == kFirstLengthSymbol + kMaxMatch - kMinMatch + 1,
              "the model has one symbol per literal byte and one per match length");

struct LzhWorkspace {
    // The ring window, its mirror bytes and the slack of the dictionary's word compares.
    std::uint8_t LzhWindow[kWindowBytes + kWindowSlack];
    AdaptiveModel Model;
    MatchDictionary Dict{LzhWindow};
};

// Allocates a workspace with every byte cleared, so that a run never depends on leftover memory
// (the compressor's output is a function of its input alone).
std::unique_ptr<LzhWorkspace> LzhAllocateWorkspace();

}  // namespace qvx::lzh
