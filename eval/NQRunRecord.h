#ifndef NQ_EVAL_NQRUNRECORD_H
#define NQ_EVAL_NQRUNRECORD_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "docmodel/NQPolygon.h"
#include "docmodel/NQShape.h"
#include "xml/NQInputFormat.h"

class NQPage;
struct NQIdPair;
struct NQPageMatch;

// One result document of a run with its ground-truth partner and the name of
// its annotated copy. resultFile and gtFile are the names under which the run
// reports the two: the file, or "FILE (image NAME)" for a page of a COCO file.
// The sources say what is read; a pair made from names alone (empty sources)
// reads the two files in whatever format their content shows.
struct NQFilePair {
    std::string resultFile;
    std::string gtFile;
    std::string visualFile;
    bool gtFound = true;  // false: the partner is missing and the pair is skipped
    NQDocumentSource resultSource{};
    NQDocumentSource gtSource{};
    // The stem of the names of the pair's pictures; empty: the result file's
    // name without its extension.
    std::string outputStem{};
};

// What the comparison made of one region. In the class-only comparison a
// "region" is one zone: matched means the zone of the same id has the same
// class, detected another class, a false alarm has no zone of its id on the
// other side, and a missed ground-truth zone has no result zone of its id.
enum class NQOutcome : std::uint8_t { Matched, Detected, FalseAlarm, Missed };

const char* outcomeName(NQOutcome outcome);

// One region of a compared page, copied out of the page so that it outlives it.
struct NQRegionRecord {
    NQOutcome outcome = NQOutcome::FalseAlarm;
    std::string id;    // the region's line id text
    std::string type;  // the class it is counted under
    std::vector<std::string> zoneIds;
    int partner = -1;                 // index of the partner on the other side's list, -1 for none
    std::optional<double> score;      // score of the selected pair
    std::optional<double> bestScore;  // best score of any pair whose rectangles overlap
    NQRectShape rect;                 // bounding rectangle of the members' outlines
    std::vector<NQPolygon> outlines;  // one per member zone
};

// One compared page pair: both sides' regions with their outcomes.
struct NQPageRecord {
    std::size_t number = 0;  // 1 for the first page of the file
    std::string pageId;      // the result page's id
    std::uint32_t resultZones = 0;
    std::uint32_t gtZones = 0;
    std::vector<NQRegionRecord> result;
    std::vector<NQRegionRecord> gt;
    // The classes this page registered first in the run's class table, in
    // the order met: replayed in file order, they rebuild the table's order
    // (and so the width of the detail lines) of a run split into parts.
    std::vector<std::string> newClasses;

    static std::size_t count(const std::vector<NQRegionRecord>& side, NQOutcome outcome);
    std::size_t matched() const { return count(result, NQOutcome::Matched); }
    std::size_t detected() const { return count(result, NQOutcome::Detected); }
    std::size_t falseAlarms() const { return count(result, NQOutcome::FalseAlarm); }
    std::size_t missed() const { return count(gt, NQOutcome::Missed); }

    // The default comparison of a page, from its match value.
    static NQPageRecord fromMatch(const NQPageMatch& match);
    // The class-only comparison: the result zones in order with their id
    // partners, and every zone of the ground-truth page.
    static NQPageRecord fromIdPairs(const std::vector<NQIdPair>& pairs, const NQPage& gtPage);
};

// How the run dealt with one file pair. The first three count in the
// summary's number of files.
enum class NQPairStatus : std::uint8_t {
    Compared,
    NoPages,          // a document without pages: counted, nothing compared
    EvaluationError,  // a page could not be compared: counted up to that page
    GtMissing,        // no ground-truth file of that name
    ResultReadError,
    GtReadError
};

const char* pairStatusName(NQPairStatus status);

// What one file pair gave: delivered to the observers in file order.
struct NQPairRecord {
    std::size_t index = 0;  // position in the run's list of pairs
    NQFilePair files;
    NQPairStatus status = NQPairStatus::Compared;
    std::string error;  // the message of an evaluation error, or why a file was refused
    std::string src;    // the result document's image name
    std::vector<NQPageRecord> pages;
    // Classes first registered by a page that then could not be compared
    // (an evaluation error): in the run's table, but on no page record.
    std::vector<std::string> failedPageClasses;

    bool counted() const {
        return status == NQPairStatus::Compared || status == NQPairStatus::NoPages ||
               status == NQPairStatus::EvaluationError;
    }
};

#endif
