#ifndef NQ_EVAL_NQREPORTWRITER_H
#define NQ_EVAL_NQREPORTWRITER_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

class NQClassTable;
class NQRunAnalyses;
class NQSplitMerge;
class NQThresholdSweep;
struct NQPageMatch;
struct NQPageRecord;

// Writes the lines of the report onto one stream, in the order the run
// produces them: the head, per file and page the detail lines, the summary
// tables and the closing line. The writer holds no state besides the stream
// and the comparison mode; numbers read from the class table passed in.
class NQReportWriter {
public:
    // `zoneClassMode` selects the class-only comparison's legend, average
    // line and tables (no "unmatch" class).
    NQReportWriter(std::ostream& report, bool zoneClassMode)
        : report_(report), zoneClassMode_(zoneClassMode) {}

    // "Result of WEXA" and the time the report was generated.
    void printIntro();
    // "Command Option : " with the command line; with `detail` the per-file
    // heading and the legend.
    void printHead(const std::string& commandLine, bool detail);
    // The image name of a file pair, underlined.
    void printFileHeading(const std::string& src);
    void printPageHeading(const std::string& pageId);
    // One line per result region of a page and the page's "[OVERALL]" line.
    // The class fields are one wider than the longest class registered in
    // the run once the page's classes are: `longestClass` characters.
    void printDetail(const NQPageRecord& page, std::size_t longestClass);
    // The same from a match value, against the run's table after the page.
    void printDetail(const NQPageMatch& match, const NQClassTable& classes);
    // The class-only lines of a page (one per result zone that has a zone of
    // its id) and its "[OVERALL]" line. The class comparison registers the
    // classes of each line just before writing it, so each line's class
    // fields are one wider than the longest class met up to that line:
    // `longestBefore` is the longest registered before the page.
    void printIdDetail(const NQPageRecord& page, std::size_t longestBefore);
    // The three tables of the summary.
    void summary(const NQClassTable& classes, std::uint32_t fileCount);
    // The sections of the analyses the run asked for, numbered from 04.
    void printAnalyses(const NQRunAnalyses& analyses, const NQClassTable& classes);
    // Sections after the summary, numbered `section`: precision, recall and
    // F-score per class and threshold with their means; split and merge
    // counts per class. The classes are listed in the order of `classes`.
    void printSweep(const NQThresholdSweep& sweep, const NQClassTable& classes, int section);
    void printSplitMerge(const NQSplitMerge& splits, const NQClassTable& classes, int section);
    // The time the evaluation finished.
    void printEnd();

private:
    std::ostream& report_;
    bool zoneClassMode_;
};

#endif
