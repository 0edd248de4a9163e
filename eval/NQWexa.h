#ifndef NQ_EVAL_NQWEXA_H
#define NQ_EVAL_NQWEXA_H

#include <cstdint>
#include <exception>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "eval/NQMZone.h"

class NQPage;
class NQZone;

// One candidate pairing of a result region and a ground-truth region.
struct Score {
    double score = 0.0;  // match score of the pair, percent
    std::uint32_t resIdx = 0;
    std::uint32_t gtIdx = 0;
};

// Ascending order of scores; a NaN score compares false both ways.
bool compare_function(Score a, Score b);

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

// Outcome of the one-to-one selection on one page, in the form the matrix
// update, the detail lines and the annotation read it. Every region has at
// most one partner, so a partner index per side replaces a full
// result x ground-truth table.
struct PageMatch {
    // Partner ground-truth region of each result region, -1 for none.
    std::vector<int> gtOfResult;
    // 2 when the partner has the same class, 1 for another class, 0 for none.
    std::vector<unsigned> kindOfResult;
    // Score of the selected pair of each result region (0 without partner).
    std::vector<double> pairScore;
    // Partner result region of each ground-truth region, -1 for none.
    std::vector<int> resultOfGt;
    // Largest score of any overlapping pair, below the threshold too; NaN
    // scores are passed over and 0 stands for "no overlapping pair".
    std::vector<double> bestOfResult;
    std::vector<double> bestOfGt;
};

// The evaluator: the configuration read from the command line, the run over
// the file pairs, the page comparison, the class table with its confusion
// matrix, the report and the annotated result files.
class NQWexa {
public:
    // Reads the options; a problem is reported on standard output and raised
    // as NQWexaExit (status 0) before any file is written.
    NQWexa(int argc, char** argv);

    // ---- run (evaluation driver) ------------------------------------------
    void doEval();
    void compareDoc(const std::string& resultFile, const std::string& gtFile,
                    const std::string& visualFile, std::ostream& report);
    void printIntro(std::ostream& report) const;
    void printEnd(std::ostream& report) const;

    // ---- page comparison ----------------------------------------------------
    void compareLPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report);
    void compareCPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report);
    void getZones(NQPage& page, std::vector<NQMZone>& regions);
    void getMZones(NQPage& page, std::vector<NQMZone>& regions, std::vector<NQMZone>& gtRegions);
    std::vector<Score> getMaxMatch(const std::vector<Score>& candidates,
                                   const std::vector<NQMZone>& result,
                                   const std::vector<NQMZone>& gt) const;
    void updateConfMatrix(const std::vector<NQMZone>& result, const std::vector<NQMZone>& gt,
                          const PageMatch& match);
    NQZone* findZoneByID(NQPage& page, const std::string& id) const;
    bool checkAccZone(const std::string& name) const;
    bool checkNotAccZone(const std::string& name) const;
    bool isMergeList(const std::string& name) const;

    // ---- class table --------------------------------------------------------
    void addType(const std::string& name);
    // Adds one to the matrix cell of two registered classes.
    void countPair(const std::string& resultType, const std::string& gtType);

    // ---- report -------------------------------------------------------------
    void printDetail(const std::vector<NQMZone>& result, const std::vector<NQMZone>& gt,
                     const PageMatch& match, std::ostream& report) const;
    void summary(std::ostream& report) const;
    double getPreciZone(const std::string& name) const;
    double getRecallZone(const std::string& name) const;
    static double getFScore(double precision, double recall);
    std::uint32_t getMissZone(const std::string& name) const;
    double getMissZoneRate(const std::string& name) const;
    std::uint32_t getFalseZone(const std::string& name) const;
    double getFalseZoneRate(const std::string& name) const;
    // Width of one confusion-matrix column.
    int calSpace() const;
    std::size_t getTypeMaxLength() const;

    // ---- visual output ------------------------------------------------------
    void saveVisual(std::vector<NQMZone>& result, std::vector<NQMZone>& gt, NQPage& resultPage,
                    const PageMatch& match);

    // ---- read access to the configuration and the totals ----------------------
    bool isDirToDir() const { return dirToDir; }
    bool isDirToFile() const { return dirToFile; }
    bool isFileToDir() const { return fileToDir; }
    bool isFileToFile() const { return fileToFile; }
    std::uint32_t getFileCount() const { return fileCount; }
    const std::string& getCommandLine() const { return commandLine; }
    double getMatchThreshold() const { return matchThreshold; }
    double getMergeThreshold() const { return mergeThreshold; }
    bool isThresholdGiven() const { return thresholdGiven; }
    const std::vector<std::string>& getTypeNames() const { return typeNames; }
    std::uint32_t getTypeCount() const { return typeCount; }
    // Count of a cell by class index; 0 outside the table.
    std::uint32_t getConfCount(std::size_t row, std::size_t column) const;
    std::uint32_t getGtZoneTotal() const { return gtZoneTotal; }
    std::uint32_t getResultZoneTotal() const { return resultZoneTotal; }
    bool isDetailMode() const { return detailMode; }
    bool isVisualMode() const { return visualMode; }
    bool isSegOnlyMode() const { return segOnlyMode; }
    bool isZoneClassMode() const { return zoneClassMode; }
    bool isAcceptMode() const { return acceptMode; }
    bool isRejectMode() const { return rejectMode; }
    bool isLineIdMode() const { return lineIdMode; }
    bool isMergeMode() const { return mergeMode; }
    bool isRleMode() const { return rleMode; }
    const std::vector<std::string>& getAcceptList() const { return acceptList; }
    const std::vector<std::string>& getRejectList() const { return rejectList; }
    const std::vector<std::string>& getMergeList() const { return mergeList; }
    const std::string& getGtPath() const { return gtPath; }
    const std::string& getResultPath() const { return resultPath; }
    const std::string& getOutputPath() const { return outputPath; }
    const std::string& getImagePath() const { return imagePath; }
    const std::string& getVisualPath() const { return visualPath; }

private:
    void parseOptions(int argc, char** argv);
    // Class of a zone as counted: "zone" with -segonly, else its "qola_type".
    std::string regionType(const NQZone& zone) const;
    // Deletes the top-level zones that the accept and reject lists exclude.
    void filterZones(NQPage& page) const;
    int typeIndexOf(const std::string& name) const;
    std::uint32_t rowSum(std::size_t row) const;
    std::uint32_t columnSum(std::size_t column) const;

    bool dirToDir = false;
    bool dirToFile = false;
    bool fileToDir = false;
    bool fileToFile = false;
    std::uint32_t fileCount = 0;
    std::string commandLine;
    std::uint32_t missCount = 0;
    double matchThreshold = 80.0;
    double mergeThreshold = 80.0;
    bool thresholdGiven = false;
    std::vector<std::string> typeNames;
    std::map<std::string, int> typeIndex;
    std::uint32_t typeCount = 0;
    std::vector<std::vector<std::uint32_t>> confMatrix;
    std::uint32_t gtZoneTotal = 0;
    std::uint32_t resultZoneTotal = 0;
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
};

#endif
