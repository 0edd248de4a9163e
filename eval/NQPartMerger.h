#ifndef NQ_EVAL_NQPARTMERGER_H
#define NQ_EVAL_NQPARTMERGER_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "eval/NQClassTable.h"
#include "eval/NQPartFile.h"

class NQRunObserver;

// The command line of "wexa merge -o REPORT [-json FILE] PART...".
struct NQMergeOptions {
    // Reads the words after "merge". A problem (or -h) is written as one
    // line on standard output and raised as NQWexaExit, status 1 (0 for -h).
    void parseOptions(int argc, char** argv);
    static std::string usage();

    std::string reportPath;
    bool jsonMode = false;
    std::string jsonPath;
    std::vector<std::string> partPaths;
};

// Puts the parts of a split run back together: checks that they are the
// shards of one run, then renders the report (and the JSON) that one run
// over all their files would have written, through the run's own report
// writer and JSON writer. Pages are rendered in file order against a class
// table rebuilt as the single run grew it, page by page, so that the detail
// lines have the widths the single run gave them.
class NQPartMerger {
public:
    // Takes the parts in any order. Refuses, as NQPartError with a finished
    // message, parts of a run that stopped early, of different options or
    // file lists or splits, a shard given twice (its files would count
    // twice) and missing shards (named).
    explicit NQPartMerger(std::vector<NQPart> parts);

    // Writes the report into `report` and hands every pair, in file order,
    // to `json` (when not null) with the options of the merged run; returns
    // the merged class table. A part whose table does not agree with its
    // pages is refused as NQPartError.
    NQClassTable render(std::ostream& report, NQRunObserver* json,
                        const NQMergeOptions& merge) const;

    // The options the merged outputs are written with: the shards' options,
    // with the merge's report and JSON paths and the shards' command line
    // without its -shard and -part words.
    NQWexaOptions mergedOptions(const NQMergeOptions& merge) const;
    std::uint32_t fileCount() const;
    std::size_t pairCount() const { return parts_.front().header.pairTotal; }

private:
    void checkParts() const;
    std::vector<NQPart> parts_;  // by shard index
};

// "wexa merge ...": reads the parts, merges them and writes the report and
// the JSON. Returns the exit status: 0 when written, 1 when refused or not
// written (nothing is written then).
int runMergeCommand(int argc, char** argv);

#endif
