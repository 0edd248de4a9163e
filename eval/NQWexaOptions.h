#ifndef NQ_EVAL_NQWEXAOPTIONS_H
#define NQ_EVAL_NQWEXAOPTIONS_H

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "eval/NQClassMap.h"
#include "eval/NQSplitMerge.h"

// Raised after the command line reader has written its one-line message: the
// command layer ends the process with `status` and writes nothing else.
class NQWexaExit : public std::exception {
public:
    explicit NQWexaExit(int status) : status_(status) {}
    int status() const { return status_; }
    const char* what() const noexcept override { return "wexa run ended"; }

private:
    int status_;
};

// The configuration of one run, read from the command line. It is complete
// when parseOptions returns and does not change afterwards, so every part of
// the evaluation (and every file pair of a run) reads the same values.
struct NQWexaOptions {
    // Reads the words from argv[1] on and runs the checks that follow the
    // scan. A problem is written as one line on standard output and raised as
    // NQWexaExit (status 0) before any file is written; only "-v" may already
    // have created its directory.
    void parseOptions(int argc, char** argv);

    // Exact, case-sensitive membership in the accept, reject and merge lists.
    bool checkAccZone(const std::string& name) const;
    bool checkNotAccZone(const std::string& name) const;
    bool isMergeList(const std::string& name) const;

    // The usage text printed by "-h" and "--help", one line per option.
    static std::string usage();
    // The version printed by "--version".
    static const char* version();
    // An option value read as a finite decimal number: the whole word, with
    // nothing before or after it; false otherwise.
    static bool readDecimal(const std::string& word, double& value);

    // Input layout; at most one holds.
    bool dirToDir = false;
    bool dirToFile = false;
    bool fileToDir = false;
    bool fileToFile = false;
    // Every command word, the program name first, each followed by one blank.
    std::string commandLine;
    std::vector<std::string> commandWords;  // the same words, one per entry
    double matchThreshold = 80.0;
    double mergeThreshold = 80.0;
    bool thresholdGiven = false;
    bool detailMode = false;
    bool visualMode = false;
    bool segOnlyMode = false;
    bool zoneClassMode = false;
    bool acceptMode = false;
    bool rejectMode = false;
    bool lineIdMode = false;
    bool mergeMode = false;
    bool rleMode = false;
    std::vector<std::string> acceptList;
    std::vector<std::string> rejectList;
    std::string gtPath;
    std::string resultPath;
    std::string outputPath;
    std::string imagePath;
    std::string visualPath;
    std::vector<std::string> mergeList;
    bool jsonMode = false;  // "-json": the outcome as JSON into jsonPath
    std::string jsonPath;
    bool pictureMode = false;  // "-vimg": a PNG picture per compared page into picturePath
    std::string picturePath;
    // "-shard K/N": the run takes the K-th of N slices of its file pairs
    // (1 <= K <= N); 1/1 is the whole list.
    std::uint32_t shardIndex = 1;
    std::uint32_t shardCount = 1;
    bool partMode = false;  // "-part": the partial result goes to partPath instead of a report
    std::string partPath;
    // "-sweep LO:HI:STEP": the evaluation repeated at each of these thresholds.
    bool sweepMode = false;
    std::string sweepRange;
    std::vector<double> sweepThresholds;
    // "-splitmerge", "-splitcover PERCENT": split and merge counts, with the
    // least share of a ground-truth region's ink that makes a part.
    bool splitMergeMode = false;
    double splitCover = NQSplitMerge::kDefaultFairShare;
    // "-map FILE": class names of either side renamed or dropped before matching.
    bool mapMode = false;
    std::string mapPath;
    NQClassMap classMap;
    // "--fail-under PERCENT": exit status 1 when the average F-score is below it.
    bool failUnderMode = false;
    double failUnder = 0.0;
    // "-pageimg": inserted in front of the extension of the page image names
    // that PAGE and COCO files give (NAME.tif -> NAME_B.tif for "_B").
    std::string pageImageSuffix;
    // "-minscore": COCO annotations with a "score" below it are left out.
    bool minScoreGiven = false;
    double minScore = 0;
    // File pairs evaluated at the same time (-j); the output does not depend on it.
    unsigned threads = 1;
    static constexpr unsigned kMaxThreads = 64;
};

#endif
