// Shard slices and part files: slices tile a run's list in balanced pieces;
// a part keeps its records byte for byte; a damaged part is refused with its
// fault instead of feeding a wrong report.
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "eval/NQPartFile.h"
#include "eval/NQShard.h"
#include "support/TestSupport.h"

namespace {

using json = nlohmann::ordered_json;

TEST(ShardSlice, SlicesTileTheListInOrderWithSizesWithinOne) {
    for (std::size_t total : {0u, 1u, 2u, 7u, 35u, 80863u})
        for (std::uint32_t count : {1u, 2u, 3u, 7u, 36u, 1000u}) {
            std::size_t next = 0, smallest = total, largest = 0;
            for (std::uint32_t k = 1; k <= count; ++k) {
                const NQShardSlice slice = shardSlice(total, k, count);
                ASSERT_EQ(slice.begin, next) << total << " " << k << "/" << count;
                next = slice.end;
                smallest = std::min(smallest, slice.size());
                largest = std::max(largest, slice.size());
            }
            EXPECT_EQ(next, total);
            EXPECT_LE(largest - smallest, 1u) << total << " in " << count;
        }
}

// A part of shard 2 of 3 over five pairs (it holds pairs 1 and 2), written
// by the writer as a run would.
class PartFile : public ::testing::Test {
protected:
    void SetUp() override {
        NQPairRecord compared;
        compared.index = 1;
        compared.files = NQFilePair{"res/b.xml", "gt/b.xml", "vis/b.evl.xml", true};
        compared.src = "b\xe9.tif";  // Latin-1: not UTF-8
        compared.failedPageClasses = {"late"};
        NQPageRecord page;
        page.number = 1;
        page.pageId = "1";
        page.resultZones = 2;
        page.gtZones = 1;
        page.newClasses = {"unmatch", "caf\xe9", "text"};
        NQRegionRecord merged;
        merged.outcome = NQOutcome::Detected;
        merged.id = "M0";
        merged.type = "caf\xe9";
        merged.zoneIds = {"r1", "r2"};
        merged.partner = 0;
        merged.score = 91.25;
        merged.bestScore = 91.25;
        merged.rect = NQRectShape(3, 4, 50, 60);
        NQRegionRecord missed;
        missed.outcome = NQOutcome::Detected;
        missed.id = "g1";
        missed.type = "text";
        missed.zoneIds = {"g1"};
        missed.partner = 0;
        missed.score = 91.25;
        page.result = {merged};
        page.gt = {missed};
        compared.pages = {page};
        NQPairRecord skipped;
        skipped.index = 2;
        skipped.files = NQFilePair{"res/c.xml", "gt/c.xml", "vis/c.evl.xml", false};
        skipped.status = NQPairStatus::GtMissing;
        pairs = {compared, skipped};

        classes.addType("unmatch");
        classes.addType("caf\xe9");
        classes.addType("text");
        classes.addType("late");
        classes.countPair("caf\xe9", "text");
        classes.addZoneTotals(2, 1);

        NQWexaOptions options;
        options.commandWords = {"wexa", "-g", "gt", "-shard", "2/3"};
        NQPartWriter writer(file(), NQPartHeader{{}, 2, 3, 5, "0123456789abcdef"});
        writer.runStarted(options, pairs.size());
        for (const NQPairRecord& pair : pairs)
            writer.pairFinished(pair);
        writer.runFinished(classes, 1, true);
        text = nqtest::readFile(file());
    }

    std::string file() const { return dir.file("part.json"); }

    nqtest::TempDir dir;
    std::vector<NQPairRecord> pairs;
    NQClassTable classes;
    std::string text;
};

TEST_F(PartFile, ReadsBackEveryFieldOfTheRecordsByteForByte) {
    const NQPart part = readPart(file());
    EXPECT_EQ(part.header.shardIndex, 2u);
    EXPECT_EQ(part.header.shardCount, 3u);
    EXPECT_EQ(part.header.pairTotal, 5u);
    EXPECT_EQ(part.header.options.commandWords,
              (std::vector<std::string>{"wexa", "-g", "gt", "-shard", "2/3"}));
    EXPECT_TRUE(part.complete);
    EXPECT_EQ(part.fileCount, 1u);
    EXPECT_EQ(part.classes.getTypeNames(), classes.getTypeNames());
    EXPECT_EQ(part.classes.getConfCount(1, 2), 1u);
    EXPECT_EQ(part.classes.getResultZoneTotal(), 2u);
    ASSERT_EQ(part.pairs.size(), 2u);
    const NQPairRecord& pair = part.pairs[0];
    EXPECT_EQ(pair.src, "b\xe9.tif");
    EXPECT_EQ(pair.failedPageClasses, pairs[0].failedPageClasses);
    EXPECT_EQ(part.pairs[1].status, NQPairStatus::GtMissing);
    EXPECT_FALSE(part.pairs[1].files.gtFound);
    ASSERT_EQ(pair.pages.size(), 1u);
    const NQPageRecord& page = pair.pages[0];
    EXPECT_EQ(page.newClasses, pairs[0].pages[0].newClasses);
    EXPECT_EQ(page.gtZones, 1u);
    const NQRegionRecord& r = page.result.at(0);
    EXPECT_EQ(r.outcome, NQOutcome::Detected);
    EXPECT_EQ(r.type, "caf\xe9");
    EXPECT_EQ(r.zoneIds, (std::vector<std::string>{"r1", "r2"}));
    EXPECT_EQ(r.score, 91.25);
    EXPECT_EQ(r.rect.height, 60);
    EXPECT_FALSE(page.gt.at(0).bestScore.has_value());
}

TEST_F(PartFile, RefusesADamagedPartWithItsFault) {
    const json sound = json::parse(text);
    const struct {
        std::function<void(json&)> damage;
        std::string fault;
    } cases[] = {
        {[](json& j) { j["format"] = "wexa-report"; }, "it does not say it is one"},
        {[](json& j) { j["formatVersion"] = 2; }, "it has format version 2, this wexa reads 1"},
        {[](json& j) { j["shard"]["index"] = 4; }, "its shard is not K/N with 1 <= K <= N"},
        {[](json& j) { j["options"].erase("detail"); }, "its options are not complete"},
        {[](json& j) { j["files"].erase(1); }, "it does not hold the files of its shard"},
        {[](json& j) { j["files"][0]["index"] = 0; }, "it does not hold the files of its shard"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0][4] = 1; },
         "a region's partner does not agree with its outcome or its page"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0][0] = 3; },
         "a region has an outcome its side cannot have"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0][2] = 9; },
         "a class number is not a number from 0 to 3"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0].erase(10); },
         "a region is not a list of eleven values"},
        {[](json& j) { j["files"][0]["pages"][0]["zones"][1] = -1; },
         "zones is not a number from 0 to 4294967295"},
        {[](json& j) {
             j["files"][0]["src"] = json{{"bytes", "6"}};
         },
         "an image name holds an odd number of hexadecimal digits"},
        {[](json& j) { j["files"][0]["status"] = "lost"; }, "a file's status \"lost\" is unknown"},
        {[](json& j) { j["classTable"]["counts"][1].erase(0); },
         "a row of the confusion matrix does not have a cell per class"},
        {[](json& j) { j["classTable"]["names"][3] = "text"; },
         "the class table names a class twice"},
        {[](json& j) { j.erase("fileCount"); }, "fileCount is missing"},
        {[](json& j) { j["fileCount"] = 2; }, "its number of files does not agree with its files"},
    };
    for (const auto& c : cases) {
        json damaged = sound;
        c.damage(damaged);
        nqtest::writeFile(file(), damaged.dump());
        try {
            readPart(file());
            ADD_FAILURE() << "read: " << c.fault;
        } catch (const NQPartError& e) {
            EXPECT_EQ(e.what(), file() + " is not a wexa part file: " + c.fault);
        }
    }
}

}  // namespace
