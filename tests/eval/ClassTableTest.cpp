// Class tables of two parts of a run, merged, must give what one run over
// both parts gives: the same classes in the same order, the same cells and
// totals, and so the same summary.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eval/NQClassTable.h"
#include "eval/NQReportWriter.h"

namespace {

// What a part of a run does to its table: register a class, count a pair of
// classes it registered before, or add zone totals.
struct Step {
    int kind;
    std::string a, b;
    std::uint32_t n = 0;
};

std::vector<Step> randomPart(std::mt19937& random) {
    static const char* const kNames[] = {"text", "figure", "table", "caption",
                                         "a-much-longer-class"};
    auto pick = [&random](int high) { return std::uniform_int_distribution<int>(0, high)(random); };
    std::vector<std::string> registered;
    std::vector<Step> steps;
    for (int k = pick(40); k > 0; --k) {
        const int kind = registered.empty() ? 0 : pick(2);
        Step step{kind, "", "", static_cast<std::uint32_t>(pick(9))};
        if (kind == 0) {
            step.a = kNames[pick(4)];
            registered.push_back(step.a);
        } else if (kind == 1) {
            step.a = registered[pick(static_cast<int>(registered.size()) - 1)];
            step.b = registered[pick(static_cast<int>(registered.size()) - 1)];
        }
        steps.push_back(step);
    }
    return steps;
}

void apply(NQClassTable& table, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        if (step.kind == 0)
            table.addType(step.a);
        else if (step.kind == 1)
            table.countPair(step.a, step.b);
        else
            table.addZoneTotals(step.n, step.n + 1);
    }
}

std::string summaryOf(const NQClassTable& table, bool zoneClassMode) {
    std::ostringstream out;
    NQReportWriter(out, zoneClassMode).summary(table, 7);
    return out.str();
}

TEST(ClassTable, MergeGivesWhatOneRunOverBothPartsGives) {
    std::mt19937 random(20240611);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const bool zoneClassMode = trial % 3 == 0;  // no "unmatch" class
        const std::vector<Step> first = randomPart(random), second = randomPart(random);
        NQClassTable whole, merged, part;
        for (NQClassTable* table : {&whole, &merged, &part})
            if (!zoneClassMode)
                table->addType("unmatch");
        apply(whole, first);
        apply(whole, second);
        apply(merged, first);
        apply(part, second);
        merged.merge(part);

        ASSERT_EQ(merged.getTypeNames(), whole.getTypeNames());
        for (std::size_t r = 0; r < whole.getTypeCount(); ++r)
            for (std::size_t c = 0; c < whole.getTypeCount(); ++c)
                ASSERT_EQ(merged.getConfCount(r, c), whole.getConfCount(r, c)) << r << "," << c;
        EXPECT_EQ(merged.getGtZoneTotal(), whole.getGtZoneTotal());
        EXPECT_EQ(merged.getResultZoneTotal(), whole.getResultZoneTotal());
        EXPECT_EQ(summaryOf(merged, zoneClassMode), summaryOf(whole, zoneClassMode));
    }
}

}  // namespace
