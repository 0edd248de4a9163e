#ifndef NQ_EVAL_NQRUNOBSERVER_H
#define NQ_EVAL_NQRUNOBSERVER_H

#include <cstddef>
#include <cstdint>

#include "eval/NQRunRecord.h"

class NQClassTable;
class NQImage;
struct NQWexaOptions;

// Receives what a run produces besides its report: the JSON writer, the
// picture writer and the progress line plug in here. The driver calls
//
//   runStarted, then per file pair in file order pairStarted and
//   pairFinished, then runFinished;
//   pageCompared for every compared page of a pair, before that pair's
//   pairFinished.
//
// pageCompared sees the live page image and works on one page alone, so it
// may be called for different pairs at the same time; every other call comes
// from one thread, in file order. A problem an observer cannot handle itself
// (a file it cannot write) is thrown as std::exception with a finished
// one-line message; the driver prints it and the run goes on.
class NQRunObserver {
public:
    virtual ~NQRunObserver() = default;

    virtual void runStarted(const NQWexaOptions& options, std::size_t pairCount) {
        (void)options;
        (void)pairCount;
    }
    virtual void pairStarted(std::size_t index, std::size_t pairCount) {
        (void)index;
        (void)pairCount;
    }
    virtual void pageCompared(const NQFilePair& files, const NQPageRecord& page,
                              const NQImage& pageImage) {
        (void)files;
        (void)page;
        (void)pageImage;
    }
    virtual void pairFinished(const NQPairRecord& pair) { (void)pair; }
    // `complete` is false when the run stopped early (an XML file that cannot
    // be opened); the table then holds the pairs compared before.
    virtual void runFinished(const NQClassTable& classes, std::uint32_t fileCount, bool complete) {
        (void)classes;
        (void)fileCount;
        (void)complete;
    }

    // Around every line the driver writes on standard output, so that an
    // observer drawing on the terminal can keep out of its way.
    virtual void beforeMessage() {}
    virtual void afterMessage() {}

    // Whether pageCompared reads the page image's pixels. When no observer
    // does and the run needs them for nothing else, a pair's page images are
    // let go before its commit, and pageCompared gets them without pixels.
    virtual bool readsPageImages() const { return true; }
};

#endif
