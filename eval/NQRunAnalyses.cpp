// The analyses of a run, taken page by page and merged in file order.
#include "eval/NQRunAnalyses.h"

#include "eval/NQWexaOptions.h"

NQRunAnalyses::NQRunAnalyses(const NQWexaOptions& options) {
    if (options.sweepMode)
        sweep_.emplace(options.sweepThresholds);
    if (options.splitMergeMode)
        splits_.emplace(options.splitCover);
}

void NQRunAnalyses::addPage(const NQPageMatch& match, const NQClassTable& classes) {
    if (sweep_)
        sweep_->addPage(match, classes);
    if (splits_)
        splits_->addPage(match);
}

void NQRunAnalyses::merge(const NQRunAnalyses& other) {
    if (sweep_ && other.sweep_)
        sweep_->merge(*other.sweep_);
    if (splits_ && other.splits_)
        splits_->merge(*other.splits_);
}
