#ifndef NQ_EVAL_NQWEXA_H
#define NQ_EVAL_NQWEXA_H

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "eval/NQClassTable.h"
#include "eval/NQMZone.h"
#include "eval/NQPageMatcher.h"
#include "eval/NQRunAnalyses.h"
#include "eval/NQRunObserver.h"
#include "eval/NQRunRecord.h"
#include "eval/NQWexaOptions.h"
#include "xml/NQForeignInput.h"

class NQInputReader;
class NQPage;
class NQZone;
struct NQPairWork;

// The evaluator of one run. It keeps the run's configuration, its class
// table and counters, and drives the parts that do the work: the options
// (NQWexaOptions), the page matcher (NQPageMatcher), the class table
// (NQClassTable), the report writer (NQReportWriter) and the annotator
// (NQAnnotator). The per-page and per-file operations can be called alone.
class NQWexa {
public:
    // Reads the options; a problem is reported on standard output and raised
    // as NQWexaExit (status 0) before any file is written.
    NQWexa(int argc, char** argv);
    ~NQWexa();
    NQWexa(const NQWexa&) = delete;
    NQWexa& operator=(const NQWexa&) = delete;

    // ---- run (evaluation driver) ------------------------------------------
    // The whole run. An XML file that cannot be opened at all raises
    // NQLoadXmlError; the report then holds everything written before it.
    // Besides the observers added before, the run feeds those its options
    // ask for: the JSON writer (-json), the picture writer (-vimg) and, when
    // standard error is a terminal, the progress line. With -j N the file
    // pairs are read and compared on N threads; what the run writes, and
    // what the observers receive, is the same as with one.
    void doEval();
    // The exit status of the run: 0, or with --fail-under 1 when the average
    // F-score is below the bar or the run stopped early (the reason is said
    // on standard output).
    int exitStatus();
    // Adds a receiver of the run's records; call before doEval.
    void addObserver(std::unique_ptr<NQRunObserver> observer);
    // The file pairs of the run in the order they are evaluated. COCO files
    // are parsed here, once, and kept for the reading of their pages; what
    // is wrong with them is said on standard output.
    std::vector<NQFilePair> filePairs();
    // Reads and compares one pair; the record says what came of it.
    NQPairRecord compareDoc(const std::string& resultFile, const std::string& gtFile,
                            const std::string& visualFile, std::ostream& report);
    void printIntro(std::ostream& report) const;
    void printEnd(std::ostream& report) const;

    // ---- page comparison ----------------------------------------------------
    // Both return the outcome of every region of the page pair.
    NQPageRecord compareLPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report);
    NQPageRecord compareCPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report);
    void getZones(NQPage& page, std::vector<NQMZone>& regions);
    void getMZones(NQPage& page, std::vector<NQMZone>& regions,
                   const std::vector<NQMZone>& gtRegions);
    std::vector<Score> getMaxMatch(const std::vector<Score>& candidates,
                                   const std::vector<NQMZone>& result,
                                   const std::vector<NQMZone>& gt) const;
    void updateConfMatrix(const NQPageMatch& match);
    NQZone* findZoneByID(NQPage& page, const std::string& id) const;
    bool checkAccZone(const std::string& name) const { return options_.checkAccZone(name); }
    bool checkNotAccZone(const std::string& name) const { return options_.checkNotAccZone(name); }
    bool isMergeList(const std::string& name) const { return options_.isMergeList(name); }

    // ---- class table --------------------------------------------------------
    void addType(const std::string& name) { classes_.addType(name); }
    // Adds one to the matrix cell of two registered classes.
    void countPair(const std::string& resultType, const std::string& gtType) {
        classes_.countPair(resultType, gtType);
    }

    // ---- report -------------------------------------------------------------
    void printDetail(const NQPageMatch& match, std::ostream& report) const;
    void summary(std::ostream& report) const;
    double getPreciZone(const std::string& name) const { return classes_.getPreciZone(name); }
    double getRecallZone(const std::string& name) const { return classes_.getRecallZone(name); }
    static double getFScore(double precision, double recall) {
        return NQClassTable::getFScore(precision, recall);
    }
    std::uint32_t getMissZone(const std::string& name) const { return classes_.getMissZone(name); }
    double getMissZoneRate(const std::string& name) const { return classes_.getMissZoneRate(name); }
    std::uint32_t getFalseZone(const std::string& name) const {
        return classes_.getFalseZone(name);
    }
    double getFalseZoneRate(const std::string& name) const {
        return classes_.getFalseZoneRate(name);
    }
    // Width of one confusion-matrix column.
    int calSpace() const { return classes_.calSpace(); }
    std::size_t getTypeMaxLength() const { return classes_.getTypeMaxLength(); }

    // ---- visual output ------------------------------------------------------
    void saveVisual(const NQPageMatch& match, NQPage& resultPage);

    // ---- read access to the configuration and the totals ----------------------
    const NQWexaOptions& getOptions() const { return options_; }
    const NQClassTable& getClassTable() const { return classes_; }
    const NQRunAnalyses& getAnalyses() const { return analyses_; }
    bool isDirToDir() const { return options_.dirToDir; }
    bool isDirToFile() const { return options_.dirToFile; }
    bool isFileToDir() const { return options_.fileToDir; }
    bool isFileToFile() const { return options_.fileToFile; }
    std::uint32_t getFileCount() const { return fileCount; }
    const std::string& getCommandLine() const { return options_.commandLine; }
    double getMatchThreshold() const { return options_.matchThreshold; }
    double getMergeThreshold() const { return options_.mergeThreshold; }
    bool isThresholdGiven() const { return options_.thresholdGiven; }
    const std::vector<std::string>& getTypeNames() const { return classes_.getTypeNames(); }
    std::uint32_t getTypeCount() const {
        return static_cast<std::uint32_t>(classes_.getTypeCount());
    }
    // Count of a cell by class index; 0 outside the table.
    std::uint32_t getConfCount(std::size_t row, std::size_t column) const {
        return classes_.getConfCount(row, column);
    }
    std::uint32_t getGtZoneTotal() const { return classes_.getGtZoneTotal(); }
    std::uint32_t getResultZoneTotal() const { return classes_.getResultZoneTotal(); }
    bool isDetailMode() const { return options_.detailMode; }
    bool isVisualMode() const { return options_.visualMode; }
    bool isSegOnlyMode() const { return options_.segOnlyMode; }
    bool isZoneClassMode() const { return options_.zoneClassMode; }
    bool isAcceptMode() const { return options_.acceptMode; }
    bool isRejectMode() const { return options_.rejectMode; }
    bool isLineIdMode() const { return options_.lineIdMode; }
    bool isMergeMode() const { return options_.mergeMode; }
    bool isRleMode() const { return options_.rleMode; }
    const std::vector<std::string>& getAcceptList() const { return options_.acceptList; }
    const std::vector<std::string>& getRejectList() const { return options_.rejectList; }
    const std::vector<std::string>& getMergeList() const { return options_.mergeList; }
    const std::string& getGtPath() const { return options_.gtPath; }
    const std::string& getResultPath() const { return options_.resultPath; }
    const std::string& getOutputPath() const { return options_.outputPath; }
    const std::string& getImagePath() const { return options_.imagePath; }
    const std::string& getVisualPath() const { return options_.visualPath; }

private:
    // One line on standard output, with the observers told before and after.
    void say(const std::string& line);
    // Calls every observer; a problem one throws is printed and the run goes on.
    void notify(const std::function<void(NQRunObserver&)>& call);
    void addRequestedObservers();
    // Lines kept by a pair's work, shown as say() shows one.
    void sayKept(const std::string& lines);

    // The part of a file pair that touches nothing shared: reading both
    // documents and matching their pages. Safe to run on any thread.
    std::unique_ptr<NQPairWork> evaluatePair(const NQFilePair& pair) const;
    // The rest, in file order on the run's thread: messages, counts, report
    // lines, observers and the visual file. Without `pageRecords` the record
    // leaves out the regions of its pages.
    NQPairRecord commitPair(NQPairWork& work, std::ostream& report, bool pageRecords);
    // Whether a commit reads the pixels of the page images (otherwise the
    // work lets them go once the pages are compared).
    bool commitReadsPixels() const;
    // Counts a matched page pair and writes its report lines and annotations;
    // the record holds the regions when asked for.
    NQPageRecord commitLPage(const NQPageMatch& match, NQPage& resultPage, std::ostream& report,
                             bool pageRecord);

    NQWexaOptions options_;
    // The readers of every input format, and their settings from the options.
    std::unique_ptr<NQInputReader> reader_;
    NQForeignReadOptions foreign_;
    NQPageMatcher matcher_{options_};
    NQClassTable classes_;
    NQRunAnalyses analyses_;      // -sweep, -splitmerge
    std::uint32_t fileCount = 0;  // file pairs whose two documents were read
    std::uint32_t missCount = 0;  // missed zones added to the visual file of the current pair
    bool complete_ = false;       // doEval went through every file pair
    std::vector<std::unique_ptr<NQRunObserver>> observers_;
};

#endif
