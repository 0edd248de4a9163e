// The class table and its confusion matrix.
//
// Classes are numbered in the order they are first met, and the report lists
// them in that order, so merging two tables must reproduce the order one run
// over both inputs would have given: the first table's classes, then the
// second's new ones in its own order. Counts are then moved cell by cell
// through the second table's class names. Every percentage divides by a row
// or column sum and is 0 when that sum is 0.
#include "eval/NQClassTable.h"

#include <algorithm>

namespace {

// 100 * part / whole, with 0 for an empty whole.
double percent(double part, double whole) {
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

}  // namespace

void NQClassTable::addType(const std::string& name) {
    if (typeIndex_.count(name) != 0)
        return;
    typeIndex_[name] = static_cast<int>(typeNames_.size());
    typeNames_.push_back(name);
    for (auto& row : confMatrix_)
        row.push_back(0);
    confMatrix_.emplace_back(typeNames_.size(), 0);
}

int NQClassTable::typeIndexOf(const std::string& name) const {
    const auto found = typeIndex_.find(name);
    return found == typeIndex_.end() ? -1 : found->second;
}

void NQClassTable::countPair(const std::string& resultType, const std::string& gtType) {
    const int row = typeIndexOf(resultType), column = typeIndexOf(gtType);
    if (row >= 0 && column >= 0)
        ++confMatrix_[row][column];
}

void NQClassTable::countCell(std::size_t row, std::size_t column, std::uint32_t times) {
    if (row < confMatrix_.size() && column < confMatrix_.size())
        confMatrix_[row][column] += times;
}

void NQClassTable::addZoneTotals(std::uint32_t resultZones, std::uint32_t gtZones) {
    resultZoneTotal_ += resultZones;
    gtZoneTotal_ += gtZones;
}

void NQClassTable::merge(const NQClassTable& other) {
    for (const std::string& name : other.typeNames_)
        addType(name);
    std::vector<std::size_t> here(other.typeNames_.size());
    for (std::size_t k = 0; k < here.size(); ++k)
        here[k] = static_cast<std::size_t>(typeIndexOf(other.typeNames_[k]));
    for (std::size_t r = 0; r < here.size(); ++r)
        for (std::size_t c = 0; c < here.size(); ++c)
            confMatrix_[here[r]][here[c]] += other.confMatrix_[r][c];
    addZoneTotals(other.resultZoneTotal_, other.gtZoneTotal_);
}

std::uint32_t NQClassTable::getConfCount(std::size_t row, std::size_t column) const {
    if (row >= confMatrix_.size() || column >= confMatrix_[row].size())
        return 0;
    return confMatrix_[row][column];
}

std::uint32_t NQClassTable::rowSum(std::size_t row) const {
    std::uint32_t sum = 0;
    if (row < confMatrix_.size())
        for (std::uint32_t count : confMatrix_[row])
            sum += count;
    return sum;
}

std::uint32_t NQClassTable::columnSum(std::size_t column) const {
    std::uint32_t sum = 0;
    if (column < confMatrix_.size())
        for (const auto& row : confMatrix_)
            sum += row[column];
    return sum;
}

double NQClassTable::getPreciZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(confMatrix_[k][k], rowSum(k));
}

double NQClassTable::getRecallZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(confMatrix_[k][k], columnSum(k));
}

double NQClassTable::getFScore(double precision, double recall) {
    if (!(precision + recall > 0))
        return 0.0;
    return 2 * precision * recall / (precision + recall);
}

std::uint32_t NQClassTable::getMissZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0 : columnSum(k) - confMatrix_[k][k];
}

double NQClassTable::getMissZoneRate(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(getMissZone(name), columnSum(k));
}

std::uint32_t NQClassTable::getFalseZone(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0 : rowSum(k) - confMatrix_[k][k];
}

double NQClassTable::getFalseZoneRate(const std::string& name) const {
    const int k = typeIndexOf(name);
    return k < 0 ? 0.0 : percent(getFalseZone(name), rowSum(k));
}

double NQClassTable::getAverageFScore(std::size_t first) const {
    double sum = 0.0;
    for (std::size_t k = first; k < typeNames_.size(); ++k)
        sum += getFScore(getPreciZone(typeNames_[k]), getRecallZone(typeNames_[k]));
    const std::size_t listed = typeNames_.size() > first ? typeNames_.size() - first : 0;
    return listed > 0 ? sum / static_cast<double>(listed) : 0.0;
}

int NQClassTable::calSpace() const {
    std::uint32_t largest = 0;
    for (const auto& row : confMatrix_)
        for (std::uint32_t count : row)
            largest = std::max(largest, count);
    // Count digits + 1 up to six digits; anything larger gets the width of
    // ten digits.
    static const std::uint32_t kLimits[] = {9, 99, 999, 9999, 99999, 999999};
    int digits = 2;
    for (std::uint32_t limit : kLimits) {
        if (largest <= limit)
            return digits + 8;
        ++digits;
    }
    return 10 + 8;
}

std::size_t NQClassTable::getTypeMaxLength() const {
    std::size_t longest = 0;
    for (const std::string& name : typeNames_)
        longest = std::max(longest, name.size());
    return longest;
}
