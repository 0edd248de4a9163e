// The report: head, detail lines and the summary built from the class table.
//
// Numbers go through the stream's own formatting. Once fixed notation and a
// precision have been set they stay in force for everything written later,
// which the report's readers have always seen; an undefined percentage
// (0 of 0) is written as 0.00.
#include "eval/NQReportWriter.h"

#include <algorithm>
#include <ctime>
#include <iomanip>
#include <sstream>

#include "eval/NQClassTable.h"
#include "eval/NQPageMatcher.h"
#include "eval/NQRunRecord.h"
#include "eval/NQRunAnalyses.h"
#include "eval/NQSplitMerge.h"
#include "eval/NQThresholdSweep.h"

namespace {

// `value` right- or left-aligned in `width` characters (longer text is not cut).
template <typename Value>
void right(std::ostream& out, const Value& value, int width) {
    out << std::right << std::setw(width) << value;
}

template <typename Value>
void left(std::ostream& out, const Value& value, int width) {
    out << std::left << std::setw(width) << value << std::right;
}

// A fixed-point value with `decimals` decimals.
void fixedValue(std::ostream& out, double value, int decimals, int width) {
    out << std::fixed << std::setprecision(decimals) << std::right << std::setw(width) << value;
}

// 100 * part / whole, with 0 for an empty whole.
double percent(double part, double whole) {
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

// "04. Title" underlined, and an empty line.
void sectionTitle(std::ostream& out, int number, const std::string& title) {
    std::ostringstream text;
    text << std::setw(2) << std::setfill('0') << number << ". " << title;
    out << text.str() << '\n' << std::string(text.str().size(), '=') << "\n\n";
}

// A percentage with 2 decimals in `width` characters, the "%" included.
void percentValue(std::ostream& out, double value, int width) {
    fixedValue(out, value, 2, std::max(0, width - 1));
    out << '%';
}

// The current local time in asctime form, ending with its own line end.
std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    const char* text = std::asctime(std::localtime(&now));
    return text != nullptr ? text : "\n";
}

// The member zone ids of a region, joined with ", ".
std::string joinedZoneIds(const std::vector<std::string>& ids) {
    std::string text;
    for (std::size_t i = 0; i < ids.size(); ++i)
        text += (i > 0 ? ", " : "") + ids[i];
    return text;
}

}  // namespace

void NQReportWriter::printIntro() {
    report_ << "Result of WEXA\n"
            << "Generated from " << timeStamp() << '\n';
}

void NQReportWriter::printHead(const std::string& commandLine, bool detail) {
    report_ << "Command Option : " << commandLine << "\n\n";
    if (!detail)
        return;
    const std::string rule(26, '=');
    report_ << rule << "\nResult of Individual File\n" << rule << "\n\n";
    report_ << (zoneClassMode_ ? "[O] : Matched, [X] : Unmatched"
                               : "[O] : Matched, [-] : Detected, [X] : False Alarm")
            << "\n\n";
}

void NQReportWriter::printFileHeading(const std::string& src) {
    report_ << src << '\n' << std::string(src.size(), '=') << "\n\n";
}

void NQReportWriter::printPageHeading(const std::string& pageId) {
    report_ << "Page ID : " << pageId << "\n-------------\n";
}

void NQReportWriter::printEnd() {
    report_ << '\n' << "Evaluation process is finished at " << timeStamp() << '\n';
}

// ---- detail lines ---------------------------------------------------------------

void NQReportWriter::printDetail(const NQPageRecord& page, std::size_t longestClass) {
    const int nameWidth = static_cast<int>(longestClass) + 1;
    for (const NQRegionRecord& region : page.result) {
        if (region.partner < 0) {
            report_ << "[X] ";
            right(report_, region.id, 5);
            report_ << ", ";
            right(report_, region.type, nameWidth);
            report_ << '\n';
        } else {
            const NQRegionRecord& partner = page.gt[region.partner];
            report_ << (region.outcome == NQOutcome::Matched ? "[O] " : "[-] ");
            right(report_, region.id, 5);
            report_ << ", ";
            right(report_, region.type, nameWidth);
            report_ << ", ";
            right(report_, partner.id, 5);
            report_ << ", ";
            right(report_, partner.type, nameWidth);
            report_ << ", ";
            fixedValue(report_, region.score.value_or(0.0), 2, 0);
            report_ << "%\n";
        }
        if (region.zoneIds.size() > 1) {
            report_ << "    ";
            right(report_, region.id, 5);
            report_ << " : " << joinedZoneIds(region.zoneIds) << '\n';
        }
    }
    const std::size_t regions = page.result.size();
    report_ << "[OVERALL] " << page.matched() << '/' << page.detected() << '/' << page.falseAlarms()
            << '/' << regions << ", ";
    fixedValue(report_, percent(page.matched(), static_cast<double>(regions)), 2, 0);
    report_ << "%\n\n";
}

void NQReportWriter::printDetail(const NQPageMatch& match, const NQClassTable& classes) {
    printDetail(NQPageRecord::fromMatch(match), classes.getTypeMaxLength());
}

void NQReportWriter::printIdDetail(const NQPageRecord& page, std::size_t longestBefore) {
    std::size_t longest = longestBefore;
    for (const NQRegionRecord& zone : page.result) {
        longest = std::max(longest, zone.type.size());
        if (zone.partner < 0)
            continue;  // reported on standard output, not here
        const std::string& gtType = page.gt[zone.partner].type;
        longest = std::max(longest, gtType.size());
        const int nameWidth = static_cast<int>(longest) + 1;
        const bool same = zone.outcome == NQOutcome::Matched;
        report_ << (same ? "[O] " : "[X] ") << std::right << std::setw(5) << zone.id << ','
                << std::setw(nameWidth) << zone.type;
        if (!same)
            report_ << ',' << std::setw(nameWidth) << gtType;
        report_ << '\n';
    }
    // A page without result zones has no share; it is written as 0.00.
    const std::size_t total = page.result.size();
    report_ << "[OVERALL] " << page.matched() << '/' << total << ", " << std::fixed
            << std::setprecision(2) << percent(page.matched(), static_cast<double>(total))
            << "%\n\n";
}

// ---- summary ----------------------------------------------------------------------

void NQReportWriter::summary(const NQClassTable& classes, std::uint32_t fileCount) {
    const std::vector<std::string>& typeNames = classes.getTypeNames();
    const std::size_t first = zoneClassMode_ ? 0 : 1;  // class 0 is "unmatch" otherwise
    auto fScore = [&classes](const std::string& name) {
        return NQClassTable::getFScore(classes.getPreciZone(name), classes.getRecallZone(name));
    };

    report_ << "==================\nSummary of Results\n==================\n\n" << std::fixed;
    report_ << "- Number of Files : " << fileCount << '\n';

    report_ << (zoneClassMode_ ? "- Accuracy of Zone Matching(average) : "
                               : "- Accuracy of Zone Detecting(average) : ");
    fixedValue(report_, classes.getAverageFScore(first), 2, 0);
    report_ << "%\n\n";

    // Section 1: zones per class.
    report_ << "01. Information on Zones\n" << std::string(24, '=') << "\n\n";
    left(report_, "Label", 8);
    left(report_, "Class of Zone", 20);
    right(report_, "Num. in Result", 20);
    right(report_, "Num. in G-Truth", 20);
    right(report_, "Accuracy(F1)", 15);
    report_ << '\n' << std::string(83, '-') << '\n';
    for (std::size_t k = first; k < typeNames.size(); ++k) {
        left(report_, k, 8);
        left(report_, typeNames[k], 20);
        right(report_, classes.rowSum(k), 20);
        right(report_, classes.columnSum(k), 20);
        fixedValue(report_, fScore(typeNames[k]), 2, 14);
        report_ << "%\n";
    }
    report_ << '\n';

    // Section 2: the confusion matrix with row-wise shares; the "unmatch" row
    // shows the share of each ground-truth class that was missed.
    const int column = classes.calSpace();
    const int countWidth = column - 8;
    report_ << "02. Confusion Matrix\n" << std::string(20, '=') << "\n\n";
    right(report_, "Result\\GT", 10);
    for (std::size_t c = 0; c < typeNames.size(); ++c) {
        if (c == 0 && !zoneClassMode_)
            right(report_, "unmatch", column - 1);
        else
            right(report_, c, column);
    }
    report_ << '\n' << "---------" << std::string(column * typeNames.size(), '-') << '\n';
    for (std::size_t r = 0; r < typeNames.size(); ++r) {
        const bool missRow = r == 0 && !zoneClassMode_;
        if (missRow)
            right(report_, "unmatch", 10);
        else
            right(report_, r, 10);
        for (std::size_t c = 0; c < typeNames.size(); ++c) {
            const std::uint32_t count = classes.getConfCount(r, c);
            const double share = percent(count, missRow ? classes.columnSum(c) : classes.rowSum(r));
            right(report_, count, countWidth);
            report_ << '(';
            fixedValue(report_, share, share >= 100.0 ? 0 : 1, 4);
            report_ << "%)" << (r == c ? '*' : ' ');
        }
        report_ << '\n';
    }
    report_ << '\n';

    // Section 3: precision, recall and F-score per class.
    report_ << "03. Result Table\n" << std::string(16, '=') << "\n\n";
    right(report_, "Label", 5);
    right(report_, "GT", 8);
    for (const char* heading : {"Result", "Correct", "Precsion", "Recall", "F-Score"})
        right(report_, heading, 10);
    if (!zoneClassMode_) {
        right(report_, "Missing", 10);
        right(report_, "FalseAlarm", 12);
    }
    report_ << '\n' << std::string(zoneClassMode_ ? 53 : 85, '-') << '\n';
    for (std::size_t k = first; k < typeNames.size(); ++k) {
        const std::string& name = typeNames[k];
        const double precision = classes.getPreciZone(name), recall = classes.getRecallZone(name);
        right(report_, k, 5);
        right(report_, classes.columnSum(k), 8);
        right(report_, classes.rowSum(k), 10);
        right(report_, classes.getConfCount(k, k), 10);
        fixedValue(report_, precision, 2, 9);
        report_ << '%';
        fixedValue(report_, recall, 2, 9);
        report_ << '%';
        fixedValue(report_, NQClassTable::getFScore(precision, recall), 2, 9);
        report_ << '%';
        if (!zoneClassMode_) {
            fixedValue(report_, classes.getMissZoneRate(name), 2, 9);
            report_ << '%';
            fixedValue(report_, classes.getFalseZoneRate(name), 2, 11);
            report_ << '%';
        }
        report_ << '\n';
    }
}

// ---- sections after the summary ------------------------------------------------------

void NQReportWriter::printAnalyses(const NQRunAnalyses& analyses, const NQClassTable& classes) {
    int section = 4;
    if (analyses.sweep() != nullptr)
        printSweep(*analyses.sweep(), classes, section++);
    if (analyses.splitMerge() != nullptr)
        printSplitMerge(*analyses.splitMerge(), classes, section++);
}

void NQReportWriter::printSweep(const NQThresholdSweep& sweep, const NQClassTable& classes,
                                int section) {
    const std::vector<std::string>& names = classes.getTypeNames();
    const std::size_t first = zoneClassMode_ ? 0 : 1;
    auto row = [this](const std::string& threshold, const std::string& label, const NQRates& r) {
        right(report_, threshold, 9);
        right(report_, label, 7);
        percentValue(report_, r.precision, 11);
        percentValue(report_, r.recall, 11);
        percentValue(report_, r.fScore, 11);
        report_ << '\n';
    };

    report_ << '\n';
    sectionTitle(report_, section, "Threshold Sweep");
    right(report_, "Threshold", 9);
    right(report_, "Label", 7);
    for (const char* heading : {"Precision", "Recall", "F-Score"})
        right(report_, heading, 11);
    report_ << '\n' << std::string(49, '-') << '\n';
    for (std::size_t k = 0; k < sweep.thresholds().size(); ++k) {
        std::ostringstream threshold;
        threshold << std::fixed << std::setprecision(2) << sweep.thresholds()[k];
        for (std::size_t c = first; c < names.size(); ++c)
            row(threshold.str(), std::to_string(c), sweep.classRates(k, names[c]));
        row(threshold.str(), "all", sweep.overallRates(k, first));
    }
    for (std::size_t c = first; c < names.size(); ++c)
        row("mean", std::to_string(c), sweep.meanClassRates(names[c]));
    row("mean", "all", sweep.meanOverallRates(first));
    report_ << "\n- " << sweep.label() << " : ";
    percentValue(report_, sweep.meanOverallRates(first).fScore, 0);
    report_ << '\n';
}

void NQReportWriter::printSplitMerge(const NQSplitMerge& splits, const NQClassTable& classes,
                                     int section) {
    const std::vector<std::string>& names = classes.getTypeNames();
    const std::size_t first = zoneClassMode_ ? 0 : 1;
    const NQSplitMerge::Counts& total = splits.total();
    // Split ink is a share of the class's own ground-truth ink; merged ink,
    // whose regions may be of any class, a share of all ground-truth ink.
    auto row = [&](const std::string& label, const std::string& name,
                   const NQSplitMerge::Counts& c) {
        right(report_, label, 5);
        report_ << "  ";
        left(report_, name, 20);
        right(report_, c.split, 8);
        right(report_, c.splitParts, 8);
        percentValue(report_, inkShare(c.splitInk, c.gtInk), 11);
        right(report_, c.merges, 8);
        right(report_, c.mergedRegions, 8);
        percentValue(report_, inkShare(c.mergedInk, total.gtInk), 12);
        report_ << '\n';
    };

    report_ << '\n';
    sectionTitle(report_, section, "Split and Merge Errors");
    report_ << "- Fair share of a ground-truth region's ink : ";
    percentValue(report_, splits.fairShare(), 0);
    report_ << "\n\n";
    right(report_, "Label", 5);
    report_ << "  ";
    left(report_, "Class of Zone", 20);
    right(report_, "Split", 8);
    right(report_, "Parts", 8);
    right(report_, "Split Ink", 11);
    right(report_, "Merges", 8);
    right(report_, "Merged", 8);
    right(report_, "Merged Ink", 12);
    report_ << '\n' << std::string(82, '-') << '\n';
    for (std::size_t c = first; c < names.size(); ++c)
        row(std::to_string(c), names[c], splits.classCounts(names[c]));
    row("all", "", total);
}
