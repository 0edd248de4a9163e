#ifndef NQ_EVAL_NQCLASSTABLE_H
#define NQ_EVAL_NQCLASSTABLE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The zone classes of a run in order of first registration, the confusion
// matrix indexed [result class][ground-truth class], and the numbers of zones
// on the compared pages. In the default comparison class 0 is "unmatch": its
// row counts missed ground-truth regions, its column false-alarm result
// regions. Every statistic is a function of the matrix alone, so tables of
// separate parts of a run can be merged and reported afterwards.
class NQClassTable {
public:
    // Appends `name` unless it is registered; the matrix grows by a zero row
    // and column and existing counts keep their cells.
    void addType(const std::string& name);
    // Index of a registered class, -1 otherwise.
    int typeIndexOf(const std::string& name) const;
    // Adds one to the cell of two registered classes; unregistered ones are ignored.
    void countPair(const std::string& resultType, const std::string& gtType);
    // Adds `times` to a cell by class index; a cell outside the table is ignored.
    void countCell(std::size_t row, std::size_t column, std::uint32_t times = 1);
    void addZoneTotals(std::uint32_t resultZones, std::uint32_t gtZones);

    // Adds the classes and counts of `other` as if the inputs it was filled
    // from had followed this table's inputs in one run: its classes that are
    // new here are registered in its order, then each of its cells is added
    // to the cell of the same two classes.
    void merge(const NQClassTable& other);

    const std::vector<std::string>& getTypeNames() const { return typeNames_; }
    std::size_t getTypeCount() const { return typeNames_.size(); }
    // Count of a cell by class index; 0 outside the table.
    std::uint32_t getConfCount(std::size_t row, std::size_t column) const;
    // Result regions of a class (row sum) and ground-truth regions (column sum).
    std::uint32_t rowSum(std::size_t row) const;
    std::uint32_t columnSum(std::size_t column) const;
    std::uint32_t getGtZoneTotal() const { return gtZoneTotal_; }
    std::uint32_t getResultZoneTotal() const { return resultZoneTotal_; }

    // Percentages by class name; 0 for an unregistered class or an empty divisor.
    double getPreciZone(const std::string& name) const;
    double getRecallZone(const std::string& name) const;
    static double getFScore(double precision, double recall);
    std::uint32_t getMissZone(const std::string& name) const;
    double getMissZoneRate(const std::string& name) const;
    std::uint32_t getFalseZone(const std::string& name) const;
    double getFalseZoneRate(const std::string& name) const;
    // Mean F-score of the classes from index `first` on (1 skips "unmatch");
    // 0 when no class is listed.
    double getAverageFScore(std::size_t first) const;

    // Width of one confusion-matrix column, from the largest count.
    int calSpace() const;
    // Length of the longest class name (0 for an empty table).
    std::size_t getTypeMaxLength() const;

private:
    std::vector<std::string> typeNames_;
    std::map<std::string, int> typeIndex_;
    std::vector<std::vector<std::uint32_t>> confMatrix_;
    std::uint32_t gtZoneTotal_ = 0;
    std::uint32_t resultZoneTotal_ = 0;
};

#endif
