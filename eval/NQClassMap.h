#ifndef NQ_EVAL_NQCLASSMAP_H
#define NQ_EVAL_NQCLASSMAP_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class NQPage;

// Renames the zone classes of either side before the pages are compared
// ("-map"), so that results of one taxonomy can be evaluated against ground
// truth of another. A map file holds one rule a line:
//
//   gt NAME TARGET     ground-truth zones of class NAME become class TARGET
//   res NAME TARGET    the same for result zones
//
// NAME "*" stands for every class without a rule of its own (a zone without
// a class included); TARGET "-" drops the zone. Empty lines and lines whose
// first word begins with "#" are skipped.
class NQClassMap {
public:
    enum class Side : std::uint8_t { GroundTruth, Result };

    // Reads the rules of `text`; every bad line adds one message to
    // `problems`, "<source> line <n>: <what is wrong>". The rules of the good
    // lines are kept either way.
    static NQClassMap parse(const std::string& text, const std::string& source,
                            std::vector<std::string>& problems);

    bool empty() const { return rules_[0].empty() && rules_[1].empty(); }
    // Whether a zone of class `name` on `side` is dropped, and otherwise the
    // class it takes (`name` itself without a rule).
    bool drops(Side side, const std::string& name) const;
    std::string target(Side side, const std::string& name) const;
    // Rewrites the "qola_type" of the page's top-level zones and deletes the
    // dropped ones.
    void apply(NQPage& page, Side side) const;
    // The rules as lines of the file format, sorted by side and name.
    std::vector<std::string> ruleLines() const;

private:
    // The rule that applies to a name, or null.
    const std::string* rule(Side side, const std::string& name) const;

    std::map<std::string, std::string> rules_[2];  // by Side: name -> target
};

#endif
