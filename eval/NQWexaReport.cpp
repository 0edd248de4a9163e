// The class table, the confusion matrix and the report built from them.
//
// The matrix is indexed [result class][ground-truth class]. In the default
// comparison class 0 is "unmatch": its row counts missed ground-truth regions,
// its column false-alarm result regions. Every statistic is a function of the
// matrix alone, so the summary can be written after the last file.
//
// Numbers go through the stream's own formatting. Once fixed notation and a
// precision have been set they stay in force for everything written later,
// which the report's readers have always seen; an undefined percentage
// (0 of 0) is written as 0.00.
#include "eval/NQWexa.h"

#include <algorithm>
#include <cmath>
#include <iomanip>

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

// A fixed-point percentage value with `decimals` decimals.
void fixedValue(std::ostream& out, double value, int decimals, int width) {
    out << std::fixed << std::setprecision(decimals) << std::right << std::setw(width) << value;
}

// 100 * part / whole, with 0 for an empty whole.
double percent(double part, double whole) {
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

}  // namespace

// ---- class table ------------------------------------------------------------

void NQWexa::addType(const std::string& name) {
    if (typeIndex.count(name) != 0)
        return;
    typeNames.push_back(name);
    typeIndex[name] = static_cast<int>(typeCount);
    ++typeCount;
    for (auto& row : confMatrix)
        row.push_back(0);
    confMatrix.emplace_back(typeCount, 0);
}

int NQWexa::typeIndexOf(const std::string& name) const {
    const auto found = typeIndex.find(name);
    return found == typeIndex.end() ? -1 : found->second;
}

void NQWexa::countPair(const std::string& resultType, const std::string& gtType) {
    const int row = typeIndexOf(resultType), column = typeIndexOf(gtType);
    if (row < 0 || column < 0)
        return;
    ++confMatrix[row][column];
}

std::uint32_t NQWexa::getConfCount(std::size_t row, std::size_t column) const {
    if (row >= confMatrix.size() || column >= confMatrix[row].size())
        return 0;
    return confMatrix[row][column];
}

std::uint32_t NQWexa::rowSum(std::size_t row) const {
    std::uint32_t sum = 0;
    for (std::uint32_t count : confMatrix[row])
        sum += count;
    return sum;
}

std::uint32_t NQWexa::columnSum(std::size_t column) const {
    std::uint32_t sum = 0;
    for (const auto& row : confMatrix)
        sum += row[column];
    return sum;
}

// ---- statistics ---------------------------------------------------------------

double NQWexa::getPreciZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(confMatrix[k][k], rowSum(k));
}

double NQWexa::getRecallZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(confMatrix[k][k], columnSum(k));
}

double NQWexa::getFScore(double precision, double recall) {
    if (!(precision + recall > 0))
        return 0.0;
    return 2 * precision * recall / (precision + recall);
}

std::uint32_t NQWexa::getMissZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0 : columnSum(k) - confMatrix[k][k];
}

double NQWexa::getMissZoneRate(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(getMissZone(name), columnSum(k));
}

std::uint32_t NQWexa::getFalseZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0 : rowSum(k) - confMatrix[k][k];
}

double NQWexa::getFalseZoneRate(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(getFalseZone(name), rowSum(k));
}

int NQWexa::calSpace() const {
    std::uint32_t largest = 0;
    for (const auto& row : confMatrix)
        for (std::uint32_t count : row)
            largest = std::max(largest, count);
    int digits;
    if (largest <= 9)
        digits = 2;
    else if (largest <= 99)
        digits = 3;
    else if (largest <= 999)
        digits = 4;
    else if (largest <= 9999)
        digits = 5;
    else if (largest <= 99999)
        digits = 6;
    else if (largest <= 999999)
        digits = 7;
    else
        digits = 10;
    return digits + 8;
}

std::size_t NQWexa::getTypeMaxLength() const {
    std::size_t longest = 0;
    for (const std::string& name : typeNames)
        longest = std::max(longest, name.size());
    return longest;
}

// ---- detail lines ---------------------------------------------------------------

void NQWexa::printDetail(const std::vector<NQMZone>& result, const std::vector<NQMZone>& gt,
                         const PageMatch& match, std::ostream& report) const {
    const int nameWidth = static_cast<int>(getTypeMaxLength()) + 1;
    unsigned correct = 0, detected = 0, falseAlarms = 0;
    for (std::size_t i = 0; i < result.size(); ++i) {
        const NQMZone& region = result[i];
        const int j = match.gtOfResult[i];
        if (j < 0) {
            ++falseAlarms;
            report << "[X] ";
            right(report, region.getLineID(), 5);
            report << ", ";
            right(report, region.getType(), nameWidth);
            report << '\n';
        } else {
            if (match.kindOfResult[i] == 2) {
                ++correct;
                report << "[O] ";
            } else {
                ++detected;
                report << "[-] ";
            }
            right(report, region.getLineID(), 5);
            report << ", ";
            right(report, region.getType(), nameWidth);
            report << ", ";
            right(report, gt[j].getLineID(), 5);
            report << ", ";
            right(report, gt[j].getType(), nameWidth);
            report << ", ";
            fixedValue(report, match.pairScore[i], 2, 0);
            report << "%\n";
        }
        if (region.getZoneCnt() > 1) {
            report << "    ";
            right(report, region.getLineID(), 5);
            report << " : " << region.getZoneListStr() << '\n';
        }
    }
    report << "[OVERALL] " << correct << '/' << detected << '/' << falseAlarms << '/'
           << result.size() << ", ";
    fixedValue(report, percent(correct, static_cast<double>(result.size())), 2, 0);
    report << "%\n\n";
}

// ---- summary ----------------------------------------------------------------------

void NQWexa::summary(std::ostream& report) const {
    const std::size_t first = zoneClassMode ? 0 : 1;  // class 0 is "unmatch" otherwise

    report << "==================\nSummary of Results\n==================\n\n" << std::fixed;
    report << "- Number of Files : " << fileCount << '\n';

    double fSum = 0.0;
    for (std::size_t k = first; k < typeNames.size(); ++k)
        fSum += getFScore(getPreciZone(typeNames[k]), getRecallZone(typeNames[k]));
    const std::size_t listed = typeNames.size() > first ? typeNames.size() - first : 0;
    report << (zoneClassMode ? "- Accuracy of Zone Matching(average) : "
                             : "- Accuracy of Zone Detecting(average) : ");
    fixedValue(report, listed > 0 ? fSum / static_cast<double>(listed) : 0.0, 2, 0);
    report << "%\n\n";

    // Section 1: zones per class.
    report << "01. Information on Zones\n" << std::string(24, '=') << "\n\n";
    left(report, "Label", 8);
    left(report, "Class of Zone", 20);
    right(report, "Num. in Result", 20);
    right(report, "Num. in G-Truth", 20);
    right(report, "Accuracy(F1)", 15);
    report << '\n' << std::string(83, '-') << '\n';
    for (std::size_t k = first; k < typeNames.size(); ++k) {
        const std::string& name = typeNames[k];
        left(report, k, 8);
        left(report, name, 20);
        right(report, rowSum(k), 20);
        right(report, columnSum(k), 20);
        fixedValue(report, getFScore(getPreciZone(name), getRecallZone(name)), 2, 14);
        report << "%\n";
    }
    report << '\n';

    // Section 2: the confusion matrix with row-wise shares; the "unmatch" row
    // shows the share of each ground-truth class that was missed.
    const int column = calSpace();
    const int countWidth = column - 8;
    report << "02. Confusion Matrix\n" << std::string(20, '=') << "\n\n";
    right(report, "Result\\GT", 10);
    for (std::size_t c = 0; c < typeNames.size(); ++c) {
        if (c == 0 && !zoneClassMode)
            right(report, "unmatch", column - 1);
        else
            right(report, c, column);
    }
    report << '\n' << "---------" << std::string(column * typeNames.size(), '-') << '\n';
    for (std::size_t r = 0; r < typeNames.size(); ++r) {
        const bool missRow = r == 0 && !zoneClassMode;
        if (missRow)
            right(report, "unmatch", 10);
        else
            right(report, r, 10);
        for (std::size_t c = 0; c < typeNames.size(); ++c) {
            const std::uint32_t count = confMatrix[r][c];
            const double share = percent(count, missRow ? columnSum(c) : rowSum(r));
            right(report, count, countWidth);
            report << '(';
            fixedValue(report, share, share >= 100.0 ? 0 : 1, 4);
            report << "%)" << (r == c ? '*' : ' ');
        }
        report << '\n';
    }
    report << '\n';

    // Section 3: precision, recall and F-score per class.
    report << "03. Result Table\n" << std::string(16, '=') << "\n\n";
    right(report, "Label", 5);
    right(report, "GT", 8);
    for (const char* heading : {"Result", "Correct", "Precsion", "Recall", "F-Score"})
        right(report, heading, 10);
    if (!zoneClassMode) {
        right(report, "Missing", 10);
        right(report, "FalseAlarm", 12);
    }
    report << '\n' << std::string(zoneClassMode ? 53 : 85, '-') << '\n';
    for (std::size_t k = first; k < typeNames.size(); ++k) {
        const std::string& name = typeNames[k];
        const double precision = getPreciZone(name), recall = getRecallZone(name);
        right(report, k, 5);
        right(report, columnSum(k), 8);
        right(report, rowSum(k), 10);
        right(report, confMatrix[k][k], 10);
        fixedValue(report, precision, 2, 9);
        report << '%';
        fixedValue(report, recall, 2, 9);
        report << '%';
        fixedValue(report, getFScore(precision, recall), 2, 9);
        report << '%';
        if (!zoneClassMode) {
            fixedValue(report, getMissZoneRate(name), 2, 9);
            report << '%';
            fixedValue(report, getFalseZoneRate(name), 2, 11);
            report << '%';
        }
        report << '\n';
    }
}
