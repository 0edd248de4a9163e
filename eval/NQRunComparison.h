#ifndef NQ_EVAL_NQRUNCOMPARISON_H
#define NQ_EVAL_NQRUNCOMPARISON_H

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "eval/NQPairedBootstrap.h"

// One compared page of a run read back from its JSON file.
struct NQEvaluatedPage {
    std::string key;          // ground-truth file name and page number
    std::string gtSignature;  // the ground-truth regions as evaluated
    std::map<std::string, NQClassCounts> counts;
};

// What "wexa compare" needs of a run written by "-json": the options that
// decide the counts, the classes in the report's order and every page.
struct NQEvaluatedRun {
    std::string file;
    std::vector<std::pair<std::string, std::string>> protocol;  // option, value as JSON text
    std::vector<std::string> classes;
    std::vector<NQEvaluatedPage> pages;

    // Reads a JSON file; a file that cannot be read or is not the outcome of
    // a complete run is thrown as std::runtime_error with a one-line message.
    static NQEvaluatedRun read(const std::string& file);
};

// The paired comparison of two runs over the same ground truth. Throws
// std::runtime_error with a one-line message when the runs used different
// options or ground truths.
std::vector<NQComparisonRow> compareRuns(const NQEvaluatedRun& a, const NQEvaluatedRun& b,
                                         const NQPairedBootstrap& bootstrap);

// The comparison as a table.
void printComparison(std::ostream& out, const NQEvaluatedRun& a, const NQEvaluatedRun& b,
                     const NQPairedBootstrap& bootstrap, const std::vector<NQComparisonRow>& rows);

// "wexa compare A.json B.json [-resamples N] [-seed N]": `args` are the words
// after "compare". Returns the exit status: 0, or 2 when the files cannot be
// compared (the reason is written to `err`).
int runCompare(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

#endif
