// LzhWorkspace: the working storage every LZH run (compression or expansion) needs: the window and
// the adaptive model. Each run allocates its own and releases it however the run ends; nothing
// carries over between runs. The compressor's storage holds one and adds the match dictionary
// (encode/LzhCompress.cpp), which the expander never needs.
#pragma once

#include <cstdint>
#include <memory>

#include "AdaptiveModel.h"
#include "LzhWindow.h"

namespace qvx::lzh {

static_assert(AdaptiveModel::kSymbols == kFirstLengthSymbol + kMaxMatch - kMinMatch + 1,
              "the model has one symbol per literal byte and one per match length");

struct LzhWorkspace {
    // The ring window, its mirror bytes and the slack of the dictionary's word compares.
    std::uint8_t LzhWindow[kWindowBytes + kWindowSlack];
    AdaptiveModel Model;
};

// Allocates a run's storage (a workspace, or a structure that holds one) with every byte cleared:
// value-initialisation of a type without a user-provided default constructor zeroes the whole
// object first, so a run never depends on leftover memory (the compressor's choices near the end
// of short inputs read window bytes the run has not written; its output is a function of its input
// alone).
template <typename Storage = LzhWorkspace>
std::unique_ptr<Storage> LzhAllocateWorkspace() {
    return std::make_unique<Storage>();
}

}  // namespace qvx::lzh
