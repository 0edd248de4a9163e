// The class map: a rule for a name, else the side's "*" rule, else no change.
//
// The map rewrites the zones' own "qola_type" attribute before anything
// else looks at a page, so the class filters, "-segonly", the merge list and
// the annotated copies all see the mapped classes, just as if the files had
// held them. A file with a bad line is refused as a whole: an evaluation
// under half a map would be silently wrong.
#include "eval/NQClassMap.h"

#include <sstream>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"

namespace {

constexpr const char* kAnyName = "*";
constexpr const char* kDrop = "-";

std::size_t sideIndex(NQClassMap::Side side) {
    return side == NQClassMap::Side::GroundTruth ? 0 : 1;
}

}  // namespace

NQClassMap NQClassMap::parse(const std::string& text, const std::string& source,
                             std::vector<std::string>& problems) {
    NQClassMap map;
    std::map<std::string, std::size_t> firstLine[2];
    std::istringstream lines(text);
    std::string line;
    for (std::size_t number = 1; std::getline(lines, line); ++number) {
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string word; in >> word;)
            words.push_back(word);
        if (words.empty() || words[0][0] == '#')
            continue;
        const std::string where = source + " line " + std::to_string(number) + ": ";
        if (words.size() != 3) {
            problems.push_back(where + "expected \"gt NAME TARGET\" or \"res NAME TARGET\"");
            continue;
        }
        if (words[0] != "gt" && words[0] != "res") {
            problems.push_back(where + "the side must be gt or res, not " + words[0]);
            continue;
        }
        if (words[2] == kAnyName) {
            problems.push_back(where + "* can only stand for a name, not for a target");
            continue;
        }
        const std::size_t side = words[0] == "gt" ? 0 : 1;
        const auto earlier = firstLine[side].find(words[1]);
        if (earlier != firstLine[side].end()) {
            problems.push_back(where + words[1] + " is mapped twice for " + words[0] +
                               " (first on line " + std::to_string(earlier->second) + ")");
            continue;
        }
        firstLine[side][words[1]] = number;
        map.rules_[side][words[1]] = words[2];
    }
    return map;
}

const std::string* NQClassMap::rule(Side side, const std::string& name) const {
    const auto& rules = rules_[sideIndex(side)];
    auto found = rules.find(name);
    if (found == rules.end())
        found = rules.find(kAnyName);
    return found == rules.end() ? nullptr : &found->second;
}

bool NQClassMap::drops(Side side, const std::string& name) const {
    const std::string* target = rule(side, name);
    return target != nullptr && *target == kDrop;
}

std::string NQClassMap::target(Side side, const std::string& name) const {
    const std::string* target = rule(side, name);
    return target != nullptr ? *target : name;
}

void NQClassMap::apply(NQPage& page, Side side) const {
    if (rules_[sideIndex(side)].empty())
        return;
    std::vector<NQZone*> dropped;
    for (NQZone* zone : page.nqGetZoneList()) {
        const std::string name = zone->nqGetTag("qola_type");
        if (drops(side, name))
            dropped.push_back(zone);
        else if (rule(side, name) != nullptr)
            zone->nqSetTag("qola_type", target(side, name));
    }
    for (NQZone* zone : dropped)
        page.nqDeleteZone(zone);
}

std::vector<std::string> NQClassMap::ruleLines() const {
    std::vector<std::string> lines;
    for (std::size_t side = 0; side < 2; ++side)
        for (const auto& rule : rules_[side])
            lines.push_back(std::string(side == 0 ? "gt " : "res ") + rule.first + " " +
                            rule.second);
    return lines;
}
